// The IEEE 802.11a convolutional encoder with puncturing (17.3.5.5):
// constraint length 7, generators g0 = 133 and g1 = 171 (octal), starting in
// the all-zero state, output A1 B1 A2 B2 ...
#pragma once

#include "runtime/types.h"

namespace tarvio {

// Rate 2/3 removes every 4th coded bit (B2 of each pair of input bits);
// rate 3/4 removes every 6th coded bit starting at the 4th, then every 5th
// starting at the 4th of the shortened row (sending A1 B1 A2 B3). Any other
// rate leaves the rate-1/2 output unpunctured.
Bits Dot11a_ConvolEncode(const Bits& input, double rate);

}  // namespace tarvio
