// The MAC header model and its bit stream.
#pragma once

#include "control/records.h"
#include "runtime/types.h"

namespace tarvio {

// The header bits of the seven fields in their fixed order: each active
// field's octets most significant first, each octet least significant bit
// first; inactive fields are left out.
Bits MacHeaderBits(const MacHeader& header);
// Rebuilds header.BitStream from the fields.
void RecalcBitStream(MacHeader& header);

}  // namespace tarvio
