// Feed-forward binary convolutional encoder with octal generators, used by the
// PBCC codes of IEEE 802.11b (rate 1/2) and 802.11g (rate 2/3).
#pragma once

#include <vector>

#include "runtime/types.h"

namespace tarvio {

// For each generator g (octal digits written as a decimal number, e.g. 133):
// mask[i] = coefficient of D^i of oct2dec(g) (bit i, least significant first,
// k bits); y_g[n] = sum_i mask[i] * dataIn[n - i] mod 2 with the register
// starting at zero. The output interleaves the generators per input bit:
// y_0[0], y_1[0], ..., y_0[1], y_1[1], ... (length(genMatrix) bits per input
// bit, no flushing). k must be 1..32 and each generator fit in k bits.
Bits ConvolEncoder(const Bits& dataIn, double k, const std::vector<double>& genMatrix);

}  // namespace tarvio
