// The IEEE 802.11b PLCP preamble (SYNC and start-of-frame delimiter) for the
// long and the short preamble, with the numbers tied to the preamble type.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

// IEEE 802.11b 18.2.2 / 18.2.2.2: long preamble = 128 ones (SYNC) followed by
// the SFD 0xF3A0 sent LSB first (144 bits); short preamble = 56 zeros
// followed by the SFD 0x05CF sent LSB first (72 bits).
// preambleType 0 = long, 1 = short; anything else throws.
Bits Dot11b_PREAMBLE(double preambleType);

// Number of preamble bits (144 long, 72 short); also where the header starts
// and how many bits the "preamble only" scrambler mode covers. Throws for
// another preamble type.
size_t dot11b_preamble_size(double preambleType);

// Seven-bit scrambler seed, first element into the first delay element:
// long 1101100, short 0011011 (IEEE 802.11b 18.2.4). Throws for another type.
Bits dot11b_scrambler_seed(double preambleType);

}  // namespace tarvio
