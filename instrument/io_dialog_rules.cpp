// The connection dialog's rules.
#include "instrument/io_dialog_rules.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>

#include "instrument/hw_commands.h"
#include "records/defaults.h"
#include "runtime/report.h"

namespace tarvio {

namespace {

std::string upper_no_slash(const std::string& s) {
  std::string u;
  for (char c : s)
    if (c != '/') u += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

double clamp_field(double x, double lo, double hi) { return std::isnan(x) ? lo : std::clamp(x, lo, hi); }

}  // namespace

int instrument_model(const std::string& platform) {
  if (platform == "b") return 1;
  if (platform == "c") return 2;
  return 0;
}

std::vector<std::string> connection_list(int model) {
  if (model == 1) return {"RS232", "GPIB"};
  if (model == 2) return {"GPIB", "TCP/IP"};
  return {"RS232", "GPIB", "TCPIP"};
}

std::vector<std::string> baud_rate_list() { return {"9600", "57600", "115200"}; }
std::vector<std::string> handshake_list() { return {"None", "Xon/Xoff", "RTS/CTS"}; }

Configuration connection_defaults() { return DefaultConfiguration(); }

Configuration prepare_connection(const std::optional<Configuration>& incoming, int model) {
  Configuration c = incoming ? *incoming : connection_defaults();
  c.GPIB.board = clamp_field(c.GPIB.board, 0, 15);
  c.GPIB.primary = clamp_field(c.GPIB.primary, 0, 30);
  c.GPIB.secondary = clamp_field(c.GPIB.secondary, -1, 31);
  c.RS232.port = clamp_field(c.RS232.port, 1, 9);
  const auto bauds = baud_rate_list();
  c.RS232.baudrate = clamp_field(c.RS232.baudrate, std::stod(bauds[0]), std::stod(bauds[2]));
  c.TCPIP.board = 0;
  const auto kinds = connection_list(model);
  bool offered = std::any_of(kinds.begin(), kinds.end(),
                             [&](const std::string& k) { return upper_no_slash(k) == upper_no_slash(c.type); });
  if (!offered) c.type = "GPIB";
  return c;
}

std::string list_entry_value(const std::vector<std::string>& list, int position) {
  if (list.empty()) return "";
  std::string v = position >= 1 && position <= static_cast<int>(list.size()) ? list[position - 1] : list[0];
  return v == "TCP/IP" ? "TCPIP" : v;
}

int list_position(const std::vector<std::string>& list, const std::string& value) {
  for (size_t k = 0; k < list.size(); ++k)
    if (upper_no_slash(list[k]) == upper_no_slash(value)) return static_cast<int>(k) + 1;
  return 1;
}

std::vector<std::string> visible_controls(const std::string& type) {
  std::string t = upper_no_slash(type);
  if (t == "GPIB") return {"GPIB.board", "GPIB.primary", "GPIB.secondary"};
  if (t == "RS232") return {"RS232.port", "RS232.baudrate", "RS232.handshake"};
  if (t == "TCPIP") return {"TCPIP.address"};
  return {};
}

std::string primary_address_tip() {
  return "Select the primary address of your source.\nThe default factory setting is 19.";
}

std::string baud_rate_tip() {
  return "Select the communication baud rate.\nNOTE: This must agree with the instrument.";
}

std::string handshake_tip(int position) {
  const char* crlf = "\r\n";
  std::string t = "Set the following Instrument Parameters";
  if (position == 2)
    return t + crlf + "  Transmit Pace = None" + crlf + "  Receive Pace  = Xon" + crlf + "  RTS/CTS       = Off";
  if (position == 3)
    return t + crlf + "  Transmit Pace = None" + crlf + "  Receive Pace  = None" + crlf +
           "  RTS/CTS       = RTS/CTS Pacing";
  return t + crlf + "  Transmit Pace = None" + crlf + "  Receive Pace  = None" + crlf + "  RTS/CTS       = Off";
}

std::string check_hardware(const Configuration& edited) {
  reporter().status("... Checking ...");
  std::string shown;
  try {
    shown = VerifyComm(edited).response;
  } catch (const std::exception& e) {
    shown = e.what();
  }
  reporter().status(shown);
  return shown;
}

}  // namespace tarvio
