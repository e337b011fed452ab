// Linear feedback shift registers over GF(2): the Fibonacci sequence
// generator behind the PN payloads and the register checksum behind the
// IEEE 802.11b PLCP header CRC-16 (IEEE 802.11b-1999 18.2.3.6).
#pragma once

#include <vector>

#include "runtime/types.h"

namespace tarvio {

// a[0..order) = seed, then for i >= order
//   a[i] = (sum_{k<order} taps[k] * a[i - order + k]) mod 2,
// for max(m, order) bits. Only the first `order` coefficients are used.
// With taps = reversed powers of the feedback polynomial this is
// a[i] = XOR of a[i - j] over the polynomial's powers j.
Bits Lfsr(int order, const std::vector<double>& taps, size_t m, const Bits& seed);

// Register checksum: the last entry of `taps` is dropped, leaving t1..tL
// (L = initalstate length); per data bit d, carry = d xor sL, then
// s1 = carry*t1 and sk = carry*tk xor s(k-1). Returns sL..s1.
Bits LfsrChecksum(const std::vector<double>& taps, const Bits& initalstate, const Bits& data);

}  // namespace tarvio
