// The IEEE 802.11a data scrambler (17.3.5.4): a 7-bit linear feedback
// shift register with generator x^7 + x^4 + 1, self-synchronising form.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// Register s1..s7 = initValue (s1 = seed bit 0). For every input bit:
// f = s4 XOR s7, output = f XOR input, shift (s7 drops, s(k+1) = s(k)), s1 = f.
// initValue must hold 7 bits.
Bits Dot11a_Scramble(const Bits& msg, const Bits& initValue);

// `seed` (0..127) as the 7 register bits, least significant bit first.
Bits dot11a_seed_bits(double seed);

}  // namespace tarvio
