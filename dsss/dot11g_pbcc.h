// The ERP-PBCC payload of the 802.11g 22 and 33 Mbit/s rates (IEEE 802.11g
// 19.6): the rate-2/3, 256-state PBCC-22 code and the 8PSK mapping with the
// 802.11b cover sequence, three coded bits per symbol.
#pragma once

#include <vector>

#include "runtime/types.h"

namespace tarvio {

// Generators of the rate-2/3 code (octal digits written as decimal numbers),
// one row per input stream, one column per coded output bit:
//   b0 (bits 1, 3, 5, ...): 21 = 1 + D^4, 2 = D,             12 = D + D^3
//   b1 (bits 2, 4, 6, ...): 10 = D^3,     25 = 1 + D^2 + D^4, 12 = D + D^3
// with a register of k = 5 bits per input stream.
inline const std::vector<std::vector<double>> kPbcc22GenMatrix = {{21, 2, 12}, {10, 25, 12}};

// Rate-2/3 encoding: the even-position bits b0 and the odd-position bits b1
// are each coded with their generator row (register starting at zero, no
// flushing); the coded rows are added modulo 2, so each input pair yields
// three bits: (21 with 10), (2 with 25), (12 with 12). dataIn must hold an
// even number of bits and genMatrix two rows of equal length, else
// std::invalid_argument.
Bits Dot11g_PBCC22Encoder(const Bits& dataIn, double k, const std::vector<std::vector<double>>& genMatrix);

// 8PSK payload symbols at one symbol per post-switch clock. DATArate must be
// 22 or 33 (else std::invalid_argument "wrong data rate used while calling
// dot11g_PBCC()"). encoderActive 1: an odd bit row gets one 0, then 8 zero
// tail bits are appended and the row is PBCC-22 coded; otherwise zero bits
// pad the row to a multiple of 3 and it is mapped unencoded. Then
// Map_PBCC(bits, DATArate, initialPhase): the 8PSK point of each triple,
// turned by the cover bit and by (1+j)/sqrt2 / initialPhase.
CVec Dot11g_PBCC(const Bits& DATAbits, double DATArate, double encoderActive, cplx initialPhase);

}  // namespace tarvio
