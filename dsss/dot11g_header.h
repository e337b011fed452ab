// The 48-bit ERP PLCP header of the 802.11g ERP-PBCC rates: the 802.11b
// header with the SIGNAL table extended by 22 and 33 Mbit/s.
#pragma once

#include "dsss/dot11b_header.h"
#include "runtime/types.h"

namespace tarvio {

// SIGNAL (8 bits, LSB first): the rate in units of 100 kbit/s modulo 256
// (IEEE 802.11g 19.3.3.3): 1 -> 0x0A, 2 -> 0x14, 5.5 -> 0x37, 11 -> 0x6E,
// 22 -> 0xDC, 33 -> 0x21. Other rates throw std::invalid_argument.
Bits Dot11g_SIGNAL(double DATArate);

// SERVICE [0, 0, locked, mod, 0, b5, b6, b7], as for 802.11b.
Bits Dot11g_SERVICE(double locked, double mod, double b5, double b6, double b7);

// LENGTH in microseconds and the extension bits; the 802.11b rule already
// holds the 22 and 33 Mbit/s bits: b5 b6 b7 = floor(E/8) in binary with
// E = R*LENGTH - (numberOfBITS + 8*mod).
Dot11bLength Dot11g_LENGTH(double numberOfBITS, double DATArate, double mod);

// [SIGNAL, SERVICE, LENGTH, CRC-16] with the ERP SIGNAL table.
Bits Dot11g_HEADER(double numberOfBITS, double DATArate, double highRateMod, double locked);

}  // namespace tarvio
