// The IEEE 802.11 frame check sequence (CRC-32, IEEE 802.11-1999 7.1.3.6).
#pragma once

#include "runtime/types.h"

namespace tarvio {

// 32 FCS bits of a bit row of whole octets (first bit of each octet is its
// least significant bit); output bit 0 of the CRC value first.
Bits CCITT_CRC32(const Bits& input);
inline Bits Dot11_CalcMACfcs(const Bits& data) { return CCITT_CRC32(data); }

}  // namespace tarvio
