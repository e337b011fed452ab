// PSDU helpers of the receivers: bits (least significant bit of each octet
// first, as IEEE 802.11 sends them) to octets, and the MAC frame check
// sequence, the CRC-32 of IEEE 802.3 over all octets but the last four,
// which carry it least significant octet first.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/types.h"

namespace tarvio::verify {

std::vector<uint8_t> bits_to_octets(const Bits& bits);
// False for a PSDU shorter than the four FCS octets.
bool fcs_good(const Bits& psdu);

}  // namespace tarvio::verify
