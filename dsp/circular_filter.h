// Circular (periodic) FIR filtering of a complex row with real taps, so a
// filtered frame plays in a loop without a seam:
//   y[n] = sum_k h[k] * x[(n - k) mod N],  n = 0 .. N-1.
// Taps longer than the row wrap around it. The cost does not grow with the
// number of taps: short filters run a direct form, long ones overlap-save
// with fixed-size FFT blocks whose plans are made once and reused.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

CVec circular_filter(const CVec& x, const RVec& h);

// Zero-insertion upsampling by L followed by circular filtering, in polyphase
// form (no work on the inserted zeros). Equals
// circular_filter(Upsample(x, L), h) to rounding; the result has x.size()*L
// samples.
CVec upsample_circular_filter(const CVec& x, size_t L, const RVec& h);
// The same, with room reserved after the result for `spare` more samples,
// so that a caller who appends to it (an idle interval) does not move it.
CVec upsample_circular_filter(const CVec& x, size_t L, const RVec& h, size_t spare);

}  // namespace tarvio
