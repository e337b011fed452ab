// The 11-chip Barker sequence of IEEE 802.11b and spreading of a symbol row
// with it (one symbol becomes 11 chips at 11 Mchip/s).
#pragma once

#include <array>

#include "runtime/types.h"

namespace tarvio {

// IEEE 802.11b 18.4.6.3, first chip first: +1 -1 +1 +1 -1 +1 +1 +1 -1 -1 -1.
inline constexpr std::array<double, 11> kDot11bBarker = {+1, -1, +1, +1, -1, +1, +1, +1, -1, -1, -1};

// chip 11*n + k = signal[n] * Barker[k].
CVec Dot11b_BarkerSpread(const CVec& signal);

}  // namespace tarvio
