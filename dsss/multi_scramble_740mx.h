// The IEEE 802.11b self-synchronising data scrambler over a bit row, the
// module the DSSS scrambler hands its rows to.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// G(z) = z^-7 + z^-4 + 1 (IEEE 802.11b 18.2.4): delay elements Z1..Z7 are
// loaded from initState (seven bits, first element into Z1); each input bit d
// gives s = d XOR Z4 XOR Z7, then Z7 <- Z6 ... Z2 <- Z1, Z1 <- s. Returns a row
// of the input's length. initState must have exactly seven 0/1 entries.
Bits multi_scramble_740mx(const Bits& input, const Bits& initState);

}  // namespace tarvio
