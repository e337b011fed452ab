// The five small instrument commands on top of the transport module: ping,
// send, query, return to local and verify communication. Each passes the
// connection record through Formatconfig (and the transport options below)
// and returns the module's status (0 = success) and text. A failing
// instrument is a status; an error raised by the module (it cannot be
// loaded, an argument is malformed) propagates as an exception.
#pragma once

#include <string>

#include "records/records.h"
#include "runtime/value.h"

namespace tarvio {

struct HwResult {
  double status = 0;
  std::string response;
};

// Settings of the transport that the connection record does not hold. When
// set they are added to every record passed to the module: `timeout` (in
// seconds, for every read and write; the module's default is 10 s) and
// `RS232.device` (a serial device path used instead of the port number).
struct TransportOptions {
  double timeout_s = 0;       // 0: the module's default
  std::string serial_device;  // empty: /dev/ttyS(port-1)
};
TransportOptions& transport_options();

// The record as the module receives it: Formatconfig(config) plus the
// transport options.
Value transport_record(const Value& config);
Value transport_record(const Configuration& config);

HwResult hwPing(const Configuration& config);
HwResult hwSend(const Configuration& config, const std::string& command);
HwResult hwQuery(const Configuration& config, const std::string& query);
HwResult hwReturnLocal(const Configuration& config);
HwResult VerifyComm(const Configuration& config);

// The same on a connection record given as a Value.
HwResult hwPing(const Value& config);
HwResult hwSend(const Value& config, const std::string& command);
HwResult hwQuery(const Value& config, const std::string& query);
HwResult hwReturnLocal(const Value& config);

// Turns the module's result list into a HwResult; a malformed list is
// reported as a failure naming the code.
HwResult to_hw_result(const std::vector<Value>& r, int code);

}  // namespace tarvio
