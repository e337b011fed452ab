// Symbol-clock error from timing offsets measured along a burst, a pure
// function usable on any capture.
//
// A transmitter whose symbol clock runs fast by e (a fraction; 1e-6 is
// 1 ppm) sends symbol m at m T / (1 + e) instead of m T, so the offset of
// each symbol against the nominal grid falls as tau(t) = tau0 - e t (to
// first order in e). Given offsets tau_i at times t_i with weights w_i, the
// weighted least-squares line gives
//   e = - sum w (t - tbar)(tau - taubar) / sum w (t - tbar)^2,
// returned in ppm; NaN with fewer than two distinct times.
#pragma once

#include <cstddef>

namespace tarvio::verify {

// Times and offsets in seconds (or any one unit); weights >= 0, or null for
// equal weights.
double EstimateClockError(const double* t, const double* tau, const double* w, size_t n);

}  // namespace tarvio::verify
