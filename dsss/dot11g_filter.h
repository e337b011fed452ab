// Baseband filtering of an ERP-PBCC sample row: circular FIR filtering
// centred on the middle tap, then removal of the mean.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// y[n] = sum_k coeffs[k] * samples[(n + floor(L/2) - k) mod N] (L taps, N
// samples: the burst is one period of a loop), then the complex mean of y is
// subtracted from every sample. filterType must be 0 or more (every offered
// filter); filterTaps, filterFactor and oversamplingRate are accepted for the
// calling form and not used: the taps are `filterCoeffs`.
CVec Dot11g_filter(double filterType, double filterTaps, double filterFactor, double oversamplingRate,
                   const CVec& samples, const RVec& filterCoeffs);

}  // namespace tarvio
