// IQ modulator imbalance: gain and quadrature error between the I and Q
// paths, and a time skew of Q against I.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

// Gain and phase imbalance, split evenly between the two paths:
//   I' = sqrt(a) (I cos(phi/2) + Q sin(phi/2)),
//   Q' = (Q cos(phi/2) + I sin(phi/2)) / sqrt(a),
// a = 10^(gain_db/20) (the I amplitude over the Q amplitude), phi =
// phase_deg x pi/180: the images of the I and Q axes stand 90 - phase_deg
// degrees apart, each turned phi/2 towards the other. With a = 1 this is
// y = cos(phi/2) x + j sin(phi/2) conj(x).
void iq_imbalance(cplx* x, size_t n, double gain_db, double phase_deg);

// IQ skew: Q'(t) = Q(t - skew) with skew = delay_samples (any sign and
// fraction, band-limited interpolation, dsp/band_limited_interpolator.h);
// Q before the row's start and after its end counts as 0. `scratch` is
// resized to n and reused.
void iq_skew(cplx* x, size_t n, double delay_samples, RVec& scratch);

}  // namespace tarvio
