// The 48-bit IEEE 802.11b PLCP header: SIGNAL, SERVICE, LENGTH (with the
// length-extension bits) and the CRC-16 over those 32 bits.
#pragma once

#include <cstdint>

#include "runtime/types.h"

namespace tarvio {

// LENGTH field and the SERVICE extension bits b5, b6, b7.
struct Dot11bLength {
  Bits lengthField;  // 16 bits (more only for lengths beyond 65535 us), LSB first
  uint8_t b5 = 0, b6 = 0, b7 = 0;
};

// SIGNAL (8 bits, LSB first): the rate in units of 100 kbit/s
// (IEEE 802.11b 18.2.3.3): 1 -> 0x0A, 2 -> 0x14, 5.5 -> 0x37, 11 -> 0x6E.
// Other rates throw std::invalid_argument.
Bits Dot11b_SIGNAL(double DATArate);

// SERVICE (8 bits) = [0, 0, locked, mod, 0, b5, b6, b7] (IEEE 802.11b
// 18.2.3.4 plus the 802.11g extension bits b5, b6).
Bits Dot11b_SERVICE(double locked, double mod, double b5, double b6, double b7);

// LENGTH in microseconds = ceil((numberOfBITS + 8*mod) / DATArate); with PBCC
// (mod 1) the tail octet is counted. The surplus E = DATArate*LENGTH -
// (numberOfBITS + 8*mod) is compared exactly: b5 b6 b7 read as a binary
// number equal floor(E/8) at 11, 22 and 33 Mbit/s; other rates set none.
// DATArate must be positive and numberOfBITS non-negative.
Dot11bLength Dot11b_LENGTH(double numberOfBITS, double DATArate, double mod);

// [SIGNAL, SERVICE, LENGTH, CRC-16] (48 bits) for a PSDU of numberOfBITS bits.
// A PSDU whose duration needs more than the 16-bit LENGTH field holds
// (65535 us) is refused with std::invalid_argument.
Bits Dot11b_HEADER(double numberOfBITS, double DATArate, double highRateMod, double locked);

// Throws std::invalid_argument when the LENGTH of a PSDU of numberOfBITS
// bits at DATArate needs more than 16 bits; `op` names the header.
void dot11b_check_length_field(const Dot11bLength& len, double numberOfBITS, double DATArate, const char* op);

// Assembles a header from its first three fields: [signal, service, length]
// followed by their CRC-16. Shared by the 802.11b and 802.11g headers.
Bits dot11b_assemble_header(const Bits& signal, const Bits& service, const Bits& length);

}  // namespace tarvio
