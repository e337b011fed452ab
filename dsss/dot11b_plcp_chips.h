// Modulation of the PLCP preamble and header sections of a scrambled 802.11b
// frame row: the preamble at 1 Mbit/s, the header at 1 Mbit/s (long preamble)
// or 2 Mbit/s (short preamble), the phase carried from one to the next.
#pragma once

#include <cmath>

#include "runtime/types.h"

namespace tarvio {

// The phase every burst starts from, (1+j)/sqrt(2).
inline const cplx kDot11bInitialPhase = (1.0 / std::sqrt(2.0)) * cplx(1.0, 1.0);

struct PlcpChips {
  CVec preamble;    // 11 chips per preamble bit
  CVec header;      // 48 header bits: 528 chips (long) or 264 chips (short)
  cplx lastSymbol;  // last header symbol (before spreading): the next section's phase reference
};

// `frame` is the scrambled row [preamble, header, ...]; its first
// 144 (long) or 72 (short) bits are the preamble and the next 48 the header.
// The modulation starts from kDot11bInitialPhase. preambleType 0 or 1; a row
// shorter than preamble + header throws.
PlcpChips dot11b_plcp_chips(const Bits& frame, double preambleType);

}  // namespace tarvio
