// Scrambling of a complete 802.11b frame bit row (preamble, header, payload)
// by scrambler mode and preamble type.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// `input` scrambled with the 802.11b scrambler started in `initState`
// (seven bits); see multi_scramble_740mx.
Bits Scrambler_7bit_741(const Bits& input, const Bits& initState);

// scrambleActive 0: frame unchanged; 1: the whole row scrambled in one pass
// with the seed of the preamble type; 2: only the first preamble-size bits
// (144 long, 72 short) scrambled, the rest unchanged. preambleType 0 or 1.
// Other modes or preamble types throw std::invalid_argument.
Bits Dot11b_Scrambler(double scrambleActive, double preambleType, const Bits& frame);

}  // namespace tarvio
