// The IEEE 802.11a block interleaver of one OFDM symbol (17.3.5.6).
#pragma once

#include "runtime/types.h"

namespace tarvio {

// N = in.size() coded bits (48, 96, 192 or 288), N_BPSC = N/48,
// s = max(N_BPSC/2, 1). For k = 0..N-1:
//   i = (N/16)(k mod 16) + floor(k/16)
//   j = s*floor(i/s) + (i + N - floor(16 i/N)) mod s
//   out[j] = in[k].
Bits Dot11a_Interleave(const Bits& in);

// The same permutation from in[0 .. n-1] to out[0 .. n-1] without allocating.
void dot11a_interleave_block(const uint8_t* in, size_t n, uint8_t* out);

}  // namespace tarvio
