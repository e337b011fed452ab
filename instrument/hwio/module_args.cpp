// Reading the connection record and positional arguments of a module call.
#include "instrument/hwio/module_args.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>

namespace tarvio::hwio_module {

namespace {

const Value* sub(const Record& r, const char* name, const char* field) {
  const Value* s = r.find(name);
  if (!s || !s->is_record()) return nullptr;
  return s->record().find(field);
}

int as_int(const Value* v, int def, const std::string& path) {
  if (!v) return def;
  if (!v->is_numeric() || v->numel() != 1)
    throw std::invalid_argument("connection record field '" + path + "' must be a number");
  double d = v->to_double();
  if (!std::isfinite(d)) throw std::invalid_argument("connection record field '" + path + "' must be finite");
  return static_cast<int>(std::clamp(d, -2147483648.0, 2147483647.0));
}

std::string as_text(const Value* v, const std::string& def, const std::string& path) {
  if (!v) return def;
  if (v->is_numeric() && v->is_empty()) return "";
  if (!v->is_text()) throw std::invalid_argument("connection record field '" + path + "' must be text");
  return v->str();
}

}  // namespace

ConnectionConfig parse_config(const Value& v) {
  if (!v.is_record()) throw std::invalid_argument("hwIO: the connection record must be a record");
  const Record& r = v.record();
  ConnectionConfig c;
  c.type = as_text(r.find("type"), "GPIB", "type");
  std::transform(c.type.begin(), c.type.end(), c.type.begin(), [](unsigned char ch) { return std::toupper(ch); });
  c.gpib_board = as_int(sub(r, "GPIB", "board"), c.gpib_board, "GPIB.board");
  c.gpib_primary = as_int(sub(r, "GPIB", "primary"), c.gpib_primary, "GPIB.primary");
  c.gpib_secondary = as_int(sub(r, "GPIB", "secondary"), c.gpib_secondary, "GPIB.secondary");
  c.rs232_port = as_int(sub(r, "RS232", "port"), c.rs232_port, "RS232.port");
  c.baudrate = as_int(sub(r, "RS232", "baudrate"), c.baudrate, "RS232.baudrate");
  c.handshake = as_text(sub(r, "RS232", "handshake"), c.handshake, "RS232.handshake");
  c.device = as_text(sub(r, "RS232", "device"), "", "RS232.device");
  c.address = as_text(sub(r, "TCPIP", "address"), c.address, "TCPIP.address");
  c.tcpip_board = as_int(sub(r, "TCPIP", "board"), c.tcpip_board, "TCPIP.board");
  if (const Value* t = r.find("timeout")) {
    if (!t->is_numeric() || t->numel() != 1 || !(t->to_double() > 0) || !std::isfinite(t->to_double()))
      throw std::invalid_argument("connection record field 'timeout' must be a positive number of seconds");
    c.timeout_s = t->to_double();
  } else {
    c.timeout_s = kDefaultTimeout;
  }
  return c;
}

const Value& ArgList::at(size_t i) const {
  if (i >= size())
    throw std::invalid_argument("hwIO code " + std::to_string(code_) + ": argument " + std::to_string(i + 2) +
                                " is missing");
  return in_[i];
}

std::string ArgList::text(size_t i) const {
  const Value& v = at(i);
  if (v.is_numeric() && v.is_empty()) return "";
  if (!v.is_text())
    throw std::invalid_argument("hwIO code " + std::to_string(code_) + ": argument " + std::to_string(i + 2) +
                                " must be text, not " + v.kind_name());
  return v.str();
}

static double number_of(const Value& v, int code, size_t i) {
  if (!v.is_numeric() || v.numel() != 1)
    throw std::invalid_argument("hwIO code " + std::to_string(code) + ": argument " + std::to_string(i + 2) +
                                " must be a number");
  return v.to_double();
}

double ArgList::number(size_t i) const { return number_of(at(i), code_, i); }

}  // namespace tarvio::hwio_module
