// Signal-to-noise ratio from training fields, pure functions usable on
// any capture.
//
// EstimateSnrRepeated: a field sent twice, received as y1 = h + n1 and
// y2 = h + n2 (per OFDM sub-carrier, the two long training symbols):
// E|y1 - y2|^2 = 2 sigma^2 and E|y1 + y2|^2 / 4 = |h|^2 + sigma^2 / 2, so
//   SNR = (sum |y1 + y2|^2 / 4 - n sigma^2 / 2) / (n sigma^2),
//   sigma^2 = sum |y1 - y2|^2 / (2 n).
// Over the used sub-carriers this is the SNR within the signal's bandwidth.
//
// EstimateSnrDecided: symbols s_k known (or decided) to carry d_k of unit
// magnitude: u_k = s_k conj(d_k) scatters about its mean m with the noise,
// SNR = |m|^2 / mean |u_k - m|^2. The phase must be steady over the
// symbols (a carrier offset taken off first).
//
// Both in dB; +inf when no noise is seen, NaN with too few values.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio::verify {

double EstimateSnrRepeated(const cplx* y1, const cplx* y2, size_t n);
double EstimateSnrDecided(const cplx* s, const cplx* d, size_t n);

}  // namespace tarvio::verify
