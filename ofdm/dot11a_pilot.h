// Pilot polarity of the OFDM symbols (IEEE 802.11a 17.3.5.9, equation
// (17-25)): the 127-bit scrambler sequence from the all-ones state, mapped
// 0 -> +1, 1 -> -1.
#pragma once

namespace tarvio {

// Polarity (+1 or -1) of OFDM symbol `index` (0 = SIGNAL, 1.. = DATA);
// the sequence repeats every 127 symbols.
double Dot11a_Pilot(double index);

}  // namespace tarvio
