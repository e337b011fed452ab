// Ping, send, query, return to local and verify communication, and their
// registered operations.
#include "instrument/hw_commands.h"

#include "instrument/hwio.h"
#include "records/formatconfig.h"
#include "records/record_value.h"
#include "runtime/registry.h"

namespace tarvio {

TransportOptions& transport_options() {
  static TransportOptions o;
  return o;
}

Value transport_record(const Value& config) {
  Value v = Formatconfig(config);
  const TransportOptions& o = transport_options();
  if (o.timeout_s > 0) v.record().set("timeout", Value(o.timeout_s));
  if (!o.serial_device.empty()) {
    Value* rs = v.record().find("RS232");
    if (rs && rs->is_record()) rs->record().set("device", Value(o.serial_device));
  }
  return v;
}

Value transport_record(const Configuration& config) { return transport_record(to_value(config)); }

HwResult to_hw_result(const std::vector<Value>& r, int code) {
  HwResult h;
  if (r.size() < 2 || !r[0].is_numeric() || r[0].numel() != 1 || !(r[1].is_text() || r[1].is_empty())) {
    h.status = 1;
    h.response = "The transport module returned a malformed result for code " + std::to_string(code) + ".";
    return h;
  }
  h.status = r[0].to_double();
  h.response = r[1].is_text() ? r[1].str() : "";
  return h;
}

HwResult hwPing(const Value& config) { return to_hw_result(hwio::call(1, {transport_record(config)}), 1); }
HwResult hwSend(const Value& config, const std::string& command) {
  return to_hw_result(hwio::call(2, {transport_record(config), Value(command)}), 2);
}
HwResult hwQuery(const Value& config, const std::string& query) {
  return to_hw_result(hwio::call(3, {transport_record(config), Value(query)}), 3);
}
HwResult hwReturnLocal(const Value& config) { return to_hw_result(hwio::call(5, {transport_record(config)}), 5); }

HwResult hwPing(const Configuration& config) { return hwPing(to_value(config)); }
HwResult hwSend(const Configuration& config, const std::string& command) { return hwSend(to_value(config), command); }
HwResult hwQuery(const Configuration& config, const std::string& query) { return hwQuery(to_value(config), query); }
HwResult hwReturnLocal(const Configuration& config) { return hwReturnLocal(to_value(config)); }
HwResult VerifyComm(const Configuration& config) { return hwPing(config); }

namespace {

std::vector<Value> pair(const HwResult& r) { return {Value(r.status), Value(r.response)}; }

TARVIO_OP(
    "HwPing", 1, 2, [](const Args& in, int) { return pair(hwPing(arg_required(in, 0, "HwPing"))); },
    "[status, response] = HwPing(config): asks the instrument to identify itself");
TARVIO_OP(
    "VerifyComm", 1, 2, [](const Args& in, int) { return pair(hwPing(arg_required(in, 0, "VerifyComm"))); },
    "[status, description] = VerifyComm(config): the ping of the connection dialog's hardware check");
TARVIO_OP(
    "HwSend", 2, 2,
    [](const Args& in, int) {
      return pair(hwSend(arg_required(in, 0, "HwSend"), arg_required(in, 1, "HwSend").str()));
    },
    "[status, response] = HwSend(config, command): writes one SCPI command");
TARVIO_OP(
    "HwQuery", 2, 2,
    [](const Args& in, int) {
      return pair(hwQuery(arg_required(in, 0, "HwQuery"), arg_required(in, 1, "HwQuery").str()));
    },
    "[status, response] = HwQuery(config, query): writes a query and returns the reply text");
TARVIO_OP(
    "HwReturnLocal", 1, 2,
    [](const Args& in, int) { return pair(hwReturnLocal(arg_required(in, 0, "HwReturnLocal"))); },
    "[status, response] = HwReturnLocal(config): returns the instrument to front-panel control");

}  // namespace

}  // namespace tarvio
