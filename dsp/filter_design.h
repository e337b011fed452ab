// Baseband FIR pulse-shaping filter designs: none, Gaussian, root raised
// cosine, windowed sinc ("brick"), or the user's own taps. A "symbol" is the
// modulation's symbol clock (20 MHz for OFDM, the chip clock for DSSS); the
// filter spans `symbols` symbols with `oversamplingRate` taps per symbol.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// Type 0 none (unit impulse), 1 Gaussian (factor = bT), 2 root raised cosine
// (factor = roll-off), 3 brick, 4 user taps (`userCoeffs` returned as given).
RVec GenFilterCoeffs(double filterType, double symbols, double filterFactor, double oversamplingRate,
                     const RVec& userCoeffs);
RVec Filter_gaussian(double numCoeff, double bT, double oversamplingRate);
RVec Filter_RootCosine(double num_taps, double alpha, double samp_per_symb);
RVec Filter_brick(double numCoeff, double overSampleRatio);

}  // namespace tarvio
