// The LAN address forms of the connection record and the protocol each one
// asks for:
//   "vxi11://HOST[:PMAPPORT][/DEVICE]"          VXI-11 (portmapper port 111,
//                                               device inst0 unless given)
//   "TCPIP[board]::HOST[::DEVICE][::INSTR]"     VXI-11 (VISA resource form)
//   "TCPIP[board]::HOST::PORT::SOCKET"          SCPI over a raw socket
//   "HOST[:PORT]", "[V6ADDR][:PORT]"            SCPI over a raw socket
// A HiSLIP device ("hislip0") and every other form are refused.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "instrument/hwio/transport.h"

namespace tarvio::hwio_module {

struct LanAddress {
  bool vxi11 = false;
  std::string host;  // VXI-11: without brackets
  int port = 111;    // VXI-11: the portmapper's port
  std::string device = "inst0";
  std::string socket_address;  // raw socket: "host[:port]" for the socket transport
};

namespace lan_address_detail {

inline std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

inline const char* kForms =
    " (allowed: vxi11://HOST[:PORT][/DEVICE], TCPIP[board]::HOST[::DEVICE][::INSTR], "
    "TCPIP[board]::HOST::PORT::SOCKET, HOST[:PORT])";

[[noreturn]] inline void refuse(const std::string& a, const std::string& why) {
  throw TransportError("LAN address '" + a + "': " + why + kForms);
}

inline int port_number(const std::string& a, const std::string& p) {
  char* end = nullptr;
  long v = p.empty() ? 0 : std::strtol(p.c_str(), &end, 10);
  if (p.empty() || *end != '\0' || v < 1 || v > 65535)
    refuse(a, "the port '" + p + "' is not a number from 1 to 65535");
  return static_cast<int>(v);
}

// "host", "host:port", "[v6]" or "[v6]:port"; port stays as given if absent.
inline void host_and_port(const std::string& a, const std::string& hp, std::string& host, int& port) {
  std::string p;
  if (!hp.empty() && hp[0] == '[') {
    auto close = hp.find(']');
    if (close == std::string::npos) refuse(a, "the closing ']' is missing");
    host = hp.substr(1, close - 1);
    if (close + 1 < hp.size()) {
      if (hp[close + 1] != ':') refuse(a, "'[address]' may only be followed by ':port'");
      p = hp.substr(close + 2);
      port = port_number(a, p);
    }
  } else if (auto colon = hp.find(':'); colon != std::string::npos) {
    host = hp.substr(0, colon);
    port = port_number(a, hp.substr(colon + 1));
  } else {
    host = hp;
  }
  if (host.empty()) refuse(a, "the host is empty");
}

// A VXI-11 device name: letters, digits, ',', '_' and '.' (inst0, gpib0,5).
inline void check_device(const std::string& a, const std::string& d) {
  if (d.empty()) refuse(a, "the device name is empty");
  if (lower(d).rfind("hislip", 0) == 0)
    throw TransportError("LAN address '" + a +
                         "': HiSLIP is not supported; use the VXI-11 device inst0 (TCPIP::HOST::inst0::INSTR) or "
                         "the raw socket (TCPIP::HOST::5025::SOCKET)");
  if (d.size() > 64 || !std::all_of(d.begin(), d.end(), [](unsigned char c) {
        return std::isalnum(c) || c == ',' || c == '_' || c == '.';
      }))
    refuse(a, "the device name '" + d + "' may hold letters, digits, ',', '_' and '.' only");
}

}  // namespace lan_address_detail

// Reads a TCPIP.address; throws TransportError saying what is wrong and
// which forms are allowed.
inline LanAddress parse_lan_address(const std::string& a) {
  using namespace lan_address_detail;
  LanAddress r;
  const std::string la = lower(a);
  if (la.rfind("vxi11://", 0) == 0) {
    std::string rest = a.substr(8);
    size_t search_from = !rest.empty() && rest[0] == '[' ? rest.find(']') : 0;
    if (search_from == std::string::npos) refuse(a, "the closing ']' is missing");
    auto slash = rest.find('/', search_from);
    std::string hp = rest.substr(0, slash);
    if (slash != std::string::npos) r.device = rest.substr(slash + 1);
    host_and_port(a, hp, r.host, r.port);
    check_device(a, r.device);
    r.vxi11 = true;
    return r;
  }
  if (auto scheme = a.find("://"); scheme != std::string::npos)
    refuse(a, "the scheme '" + a.substr(0, scheme) + "' is unknown");
  if (la.rfind("tcpip", 0) == 0 && a.find("::") != std::string::npos) {
    // Split at "::" outside brackets ("TCPIP::[fe80::1]::INSTR").
    std::vector<std::string> parts(1);
    int depth = 0;
    for (size_t k = 0; k < a.size(); ++k) {
      if (a[k] == '[') ++depth;
      if (a[k] == ']') --depth;
      if (depth == 0 && a.compare(k, 2, "::") == 0) {
        parts.emplace_back();
        ++k;
      } else {
        parts.back() += a[k];
      }
    }
    std::string board = parts[0].substr(5);
    if (!std::all_of(board.begin(), board.end(), [](unsigned char c) { return std::isdigit(c); }) || board.size() > 3)
      refuse(a, "'" + parts[0] + "' is not TCPIP followed by a board number");
    if (parts.size() < 2 || parts[1].empty()) refuse(a, "the host is missing");
    std::string host = parts[1];
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    std::string last = lower(parts.back());
    if (parts.size() == 4 && last == "socket") {
      int port = port_number(a, parts[2]);
      bool v6 = host.find(':') != std::string::npos;
      r.socket_address = (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
      return r;
    }
    if (last == "instr") parts.pop_back();
    if (parts.size() > 3 || lower(parts.back()) == "socket") refuse(a, "it is not a VISA INSTR or SOCKET resource");
    r.host = host;
    if (parts.size() == 3) r.device = parts[2];
    check_device(a, r.device);
    r.vxi11 = true;
    return r;
  }
  r.socket_address = a;  // the socket transport reads host and port itself
  return r;
}

}  // namespace tarvio::hwio_module
