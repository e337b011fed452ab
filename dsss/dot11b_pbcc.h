// Packet binary convolutional coding (PBCC) of IEEE 802.11b (18.4.6.6): the
// rate-1/2 64-state code, the 256-bit cover sequence and the BPSK/QPSK (and,
// for 802.11g, 8PSK) symbol mapping at one symbol per 11 MHz chip.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// encoderActive 1: the bits plus an 8-bit zero tail are coded with the
// generators 133, 175 (octal); otherwise the bits are mapped unencoded.
// Then Map_PBCC with DATArate (5.5 BPSK, 11 QPSK).
CVec Dot11b_PBCC(const Bits& DATAbits, double DATArate, double encoderActive, cplx initialPhase);

// Cover sequence: rows i = 0, 1, ... of the 16-bit seed 0011001110001011
// rotated left by 3*i mod 16, concatenated and cut to floor(reqLength) bits
// (period 256).
Bits PBCC_coverbits(double reqLength);

// Symbol mapping with the cover sequence (one cover bit per symbol):
//  5.5: BPSK, symbol = initialPhase * (1 - 2b) * (cover ? j : 1);
//  11:  QPSK per pair (d0, d1): 00 -> 1, 01 -> -j, 10 -> j, 11 -> -1, times
//       initialPhase and the cover rotation;
//  22, 33: 8PSK per triple (b1, b2, b3), v = b1 + 2 b2 + 4 b3, point s0[v]
//       (turned by j when the cover bit is 1) times (1+j)/sqrt2 / initialPhase.
// Other rates throw; a coded-bit count that is not a whole number of groups
// (2 for QPSK, 3 for 8PSK) throws.
CVec Map_PBCC(const Bits& encodedBits, double DATArate, cplx initialPhase);

}  // namespace tarvio
