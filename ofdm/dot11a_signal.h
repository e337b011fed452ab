// The SIGNAL field of the OFDM PLCP header (IEEE 802.11a 17.3.4): RATE,
// reserved bit, 12-bit LENGTH, even parity and six tail bits, always sent
// BPSK at rate 1/2, interleaved, unscrambled, with the pilot polarity of
// symbol 0.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// R1..R4 of IEEE 802.11a Table 80 for 6, 9, 12, 18, 24, 36, 48, 54 Mbit/s;
// any other rate gives 0 0 0 0.
Bits dot11a_SIGNAL_RateMapping(double rate);

// The 24 SIGNAL bits: [R1..R4, 0, LENGTH lsb first, parity, 0 x 6].
// lengthInBytes must be a whole number from 0 to 4095.
Bits dot11a_signal_bits(double rate, double lengthInBytes);

// The time-domain SIGNAL symbol (80*OS + windowLength samples).
CVec Dot11a_SIGNAL(double rate, double lengthInBytes, double oversamplingRate, double windowLength,
                   const RVec& subCarrierMask, double sincCompensation);

}  // namespace tarvio
