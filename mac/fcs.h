// The IEEE 802.11 frame check sequence (CRC-32, IEEE 802.11-1999 7.1.3.6).
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/types.h"

namespace tarvio {

// 32 FCS bits of a bit row of whole octets (first bit of each octet is its
// least significant bit); output bit 0 of the CRC value first.
Bits CCITT_CRC32(const Bits& input);
inline Bits Dot11_CalcMACfcs(const Bits& data) { return CCITT_CRC32(data); }

// The CRC-32 check value of octets in order (generator 0x04C11DB7,
// reflected, preset and final complement all ones): bit 0 of the value is
// the first FCS bit on air.
uint32_t ccitt_crc32mx(const std::vector<uint8_t>& octets);

}  // namespace tarvio
