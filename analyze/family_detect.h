// Tells the two families apart from a burst's first microseconds, at any
// sample rate and carrier offset: the OFDM short training field repeats
// every 0.8 us (16 samples at 20 MHz), so the burst correlates with itself
// at that lag; a DSSS preamble repeats its 11-chip Barker code every 1 us,
// with the sign of its DBPSK bit, so the square of the lag-1 us product
// adds up coherently. Both figures are 0 to 1 (1: a clean burst).
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio::analyze {

struct FamilyScore {
  double ofdm = 0, dsss = 0;
  bool ofdm_first() const { return ofdm >= dsss; }
};

// x[from..n): the burst from its detected start.
FamilyScore score_family(const cplx* x, size_t n, size_t from, double sample_rate);

}  // namespace tarvio::analyze
