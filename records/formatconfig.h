// The connection record as the transport module takes it: the interface
// numbers converted to 32-bit signed integers.
#pragma once

#include "records/records.h"
#include "runtime/value.h"

namespace tarvio {

// config with GPIB.board, GPIB.primary, GPIB.secondary, RS232.port,
// RS232.baudrate and TCPIP.board converted to int32 (rounded half away from
// zero, saturated at the int32 range), each only when present; every other
// field passes unchanged and no field is added. Throws std::invalid_argument
// when config is not a record or one of those fields is not numeric.
Value Formatconfig(const Value& config);
Value Formatconfig(const Configuration& config);

}  // namespace tarvio
