// Argument access for the transport module's operations: the connection
// record as the module sees it, and checked reading of positional values.
#pragma once

#include <string>
#include <vector>

#include "runtime/value.h"

namespace tarvio::hwio_module {

// The connection record after formatconfig, plus two optional fields the
// module honours: `timeout` (seconds for every read and write, default
// kDefaultTimeout) and `RS232.device` (a device path used instead of the
// port number's /dev/ttyS(port-1)).
struct ConnectionConfig {
  std::string type;  // "GPIB", "RS232" or "TCPIP", upper-cased
  int gpib_board = 0;
  int gpib_primary = 19;
  int gpib_secondary = -1;
  int rs232_port = 1;
  int baudrate = 9600;
  std::string handshake = "Xon/Xoff";
  std::string device;
  std::string address = "0.0.0.0";
  int tcpip_board = 0;
  double timeout_s = 10;
};

inline constexpr double kDefaultTimeout = 10.0;

// Reads the record; throws std::invalid_argument naming a field of the wrong
// kind. Missing sub-records keep the defaults above.
ConnectionConfig parse_config(const Value& v);

// Positional arguments with checks that name the code and position.
class ArgList {
 public:
  ArgList(int code, const Value* in, int n) : code_(code), in_(in), n_(n) {}
  size_t size() const { return static_cast<size_t>(n_); }
  const Value& at(size_t i) const;
  std::string text(size_t i) const;
  double number(size_t i) const;

 private:
  int code_;
  const Value* in_;
  int n_;
};

}  // namespace tarvio::hwio_module
