// The CRC-16 of the IEEE 802.11b PLCP header (IEEE 802.11b 18.2.3.6).
#pragma once

#include "runtime/types.h"

namespace tarvio {

// CRC-CCITT, generator x^16 + x^12 + x^5 + 1, register preset to ones, input
// bits in transmission order; the result is the ones' complement of the
// register, sent from the x^15 coefficient down to x^0 (16 bits).
Bits CCITT_CRC16(const Bits& input);

}  // namespace tarvio
