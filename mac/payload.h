// Payload sources: fixed patterns, PN9/PN15 sequences and the user data file.
#pragma once

#include "records/records.h"
#include "runtime/types.h"

namespace tarvio {

// The payload bit row of one packet (most significant bit first per octet,
// before the driver's ByteSwap), by `dataSourceType` 1..7.
Bits Dot11_GeneratePayload(const Parameters& parameters);

}  // namespace tarvio
