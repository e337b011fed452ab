// Carrier frequency offset estimators, pure functions usable on any
// capture.
//
// EstimateCfo: a signal that repeats itself every L samples, turned by a
// carrier offset f, gives x[k + L] = x[k] e^(j 2 pi f L / fs); so
//   f = fs / (2 pi L) arg( sum_k conj(x[k]) x[k + L] ),
// unambiguous for |f| < fs / (2 L). The OFDM short training field
// (L = 0.8 us) reaches +-625 kHz, the long one (L = 3.2 us) +-156 kHz with
// a smaller variance; the long one refines the short one's figure:
// RefineCfo takes the offset left after a coarse estimate, wrapped.
//
// EstimateCfoDecided: symbols s_k sent as d_k (known or decided, unit
// magnitude) every T seconds: u_k = s_k conj(d_k) turns by 2 pi f T per
// symbol. Its phase, unwrapped step by step (each step taken as the
// nearest, so |f| < 1 / (2 T)), is fitted by a straight line of slope
// 2 pi f T (least squares: a variance N^2 / 12 times below that of the mean
// phase step, which only the end points would decide).
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio::verify {

// Hz; 0 when x holds nothing.
double EstimateCfo(const cplx* x, size_t n, size_t lag, double sample_rate);

// The offset of x in Hz given a coarse figure `coarse_hz`: the lag-L phase
// with the coarse offset's own phase taken off, wrapped to +-pi.
double RefineCfo(const cplx* x, size_t n, size_t lag, double sample_rate, double coarse_hz);

// Hz from symbols s[0..n) and the points d[0..n) they carry, `period` s apart.
double EstimateCfoDecided(const cplx* s, const cplx* d, size_t n, double period);

}  // namespace tarvio::verify
