// Differential BPSK/QPSK with Barker spreading: the 1 and 2 Mbit/s DSSS
// modulations of IEEE 802.11b (18.4.6.3, 18.4.6.4), also used for the PLCP
// preamble and header.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// output[0] = initialVector * (1 - 2*data[0]); output[k] = (1 - 2*data[k]) *
// output[k-1]: bit 1 turns the phase by pi. Empty data throws.
CVec Dot11b_DBPSK(const Bits& data, cplx initialVector);

// One symbol per bit pair (d0, d1): 00 -> *1, 01 -> *j, 11 -> *-1, 10 -> *-j
// relative to the previous symbol. An odd or zero bit count throws.
CVec Dot11b_DQPSK(const Bits& data, cplx initialVector);

// A spread section and its phase reference for the next section: the last
// symbol before spreading.
struct DsssChips {
  CVec output;
  cplx lastPhase;
};

// 1 Mbit/s: DBPSK then Barker spreading (11 chips per bit).
DsssChips Dot11b_1Mbps(const Bits& DATAbits, cplx intialPhase);
// 2 Mbit/s: DQPSK then Barker spreading (11 chips per bit pair).
DsssChips Dot11b_2Mbps(const Bits& DATAbits, cplx intialPhase);

}  // namespace tarvio
