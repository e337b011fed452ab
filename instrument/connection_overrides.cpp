// Host-given connection settings and transfer size and time estimates.
#include "instrument/connection_overrides.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "instrument/kor_download.h"

namespace tarvio {

ConnectionOverrides take_connection_options(std::vector<std::string>& args) {
  ConnectionOverrides o;
  std::vector<std::string> rest;
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& a = args[k];
    std::string name = a, value;
    bool inline_value = false;
    if (auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inline_value = true;
    }
    if (name != "--address" && name != "--serial" && name != "--type" && name != "--timeout" && name != "--gpib" &&
        name != "--baud" && name != "--handshake") {
      rest.push_back(a);
      continue;
    }
    if (!inline_value) {
      if (k + 1 >= args.size()) throw std::invalid_argument(name + " needs a value");
      value = args[++k];
    }
    // An empty value would quietly leave the connection as it was.
    if (value.empty()) throw std::invalid_argument(name + " needs a value, not an empty text");
    if (name == "--address")
      o.address = value;
    else if (name == "--serial")
      o.serial = value;
    else if (name == "--type")
      o.type = value;
    else if (name == "--gpib")
      o.gpib = value;
    else if (name == "--baud")
      o.baud = value;
    else if (name == "--handshake")
      o.handshake = value;
    else {
      char* end = nullptr;
      double t = std::strtod(value.c_str(), &end);
      if (end == value.c_str() || *end)
        throw std::invalid_argument("--timeout needs a number of seconds, not '" + value + "'");
      o.timeout_s = t;
    }
  }
  args = rest;
  return o;
}

namespace {

// A whole number in [lo, hi] from an option's text.
double whole_option(const std::string& option, const std::string& text, double lo, double hi) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end || !(v >= lo && v <= hi) || v != std::floor(v))
    throw std::invalid_argument(option + " takes a whole number from " + std::to_string(int(lo)) + " to " +
                                std::to_string(int(hi)) + ", not '" + text + "'");
  return v;
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

}  // namespace

std::string handshake_text(const std::string& option) {
  const std::string h = lower(option);
  if (h == "none") return "None";
  if (h == "xon" || h == "xon/xoff") return "Xon/Xoff";
  if (h == "rts" || h == "rts/cts") return "RTS/CTS";
  return "";
}

void apply_connection_overrides(const ConnectionOverrides& o, Configuration& config, TransportOptions& transport) {
  if (int(!o.address.empty()) + int(!o.serial.empty()) + int(!o.gpib.empty()) > 1)
    throw std::invalid_argument("give one of a LAN address, a serial device and a GPIB address");
  if (!o.gpib.empty()) {
    const size_t colon = o.gpib.find(':');
    const std::string board = colon == std::string::npos ? "0" : o.gpib.substr(0, colon);
    const std::string address = colon == std::string::npos ? o.gpib : o.gpib.substr(colon + 1);
    config.GPIB.board = whole_option("--gpib BOARD", board, 0, 15);
    config.GPIB.primary = whole_option("--gpib ADDRESS", address, 0, 30);
    config.type = "GPIB";
  }
  if (!o.baud.empty()) {
    static const double kBauds[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
    char* end = nullptr;
    const double b = std::strtod(o.baud.c_str(), &end);
    if (o.baud.empty() || *end || std::find(std::begin(kBauds), std::end(kBauds), b) == std::end(kBauds))
      throw std::invalid_argument(
          "--baud takes 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 or 230400, not '" + o.baud + "'");
    config.RS232.baudrate = b;
  }
  if (!o.handshake.empty()) {
    const std::string h = handshake_text(o.handshake);
    if (h.empty())
      throw std::invalid_argument("--handshake takes none, xon (Xon/Xoff) or rts (RTS/CTS), not '" + o.handshake + "'");
    config.RS232.handshake = h;
  }
  if (!o.address.empty()) {
    config.type = "TCPIP";
    config.TCPIP.address = o.address;
  }
  if (!o.serial.empty()) {
    config.type = "RS232";
    transport.serial_device = o.serial;
  }
  if (!o.type.empty()) {
    std::string t = o.type;
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::toupper(c); });
    if (t == "TCP/IP" || t == "LAN") t = "TCPIP";
    if (t == "RS-232") t = "RS232";
    if (t != "TCPIP" && t != "RS232" && t != "GPIB")
      throw std::invalid_argument("connection type '" + o.type + "' is not one of TCPIP, RS232, GPIB");
    config.type = t;
  }
  if (o.timeout_s) {
    if (!(*o.timeout_s > 0) || !std::isfinite(*o.timeout_s))
      throw std::invalid_argument("the time-out must be a positive number of seconds");
    transport.timeout_s = *o.timeout_s;
  }
}

double transfer_bytes(double samples, bool markers) { return samples * (markers ? 5.0 : 4.0); }

double estimated_transfer_seconds(const Configuration& config, double samples, bool markers) {
  const std::string t = lower(config.type);
  if (t == "rs232")
    return config.RS232.baudrate > 0 ? 60 * rs232_transfer_minutes(samples, config.RS232.baudrate, 1) : INFINITY;
  const double bytes = transfer_bytes(samples, markers);
  if (t == "gpib") return bytes / 1e6;
  return bytes / 10e6;
}

}  // namespace tarvio
