// Host-given connection settings and transfer size and time estimates.
#include "instrument/connection_overrides.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

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
    if (name != "--address" && name != "--serial" && name != "--type" && name != "--timeout") {
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

void apply_connection_overrides(const ConnectionOverrides& o, Configuration& config, TransportOptions& transport) {
  if (!o.address.empty() && !o.serial.empty())
    throw std::invalid_argument("give a LAN address or a serial device, not both");
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

double estimated_transfer_seconds(const Configuration& config, double bytes) {
  std::string t = config.type;
  std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::toupper(c); });
  if (t == "RS232") return config.RS232.baudrate > 0 ? bytes * 10.0 / config.RS232.baudrate : INFINITY;
  if (t == "GPIB") return bytes / 1e6;
  return bytes / 10e6;
}

}  // namespace tarvio
