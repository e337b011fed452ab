// The amplitude nonlinearities of the transmitter: clipping to a peak level
// and a power amplifier with Rapp AM/AM and an AM/PM term. Amplitudes are in
// the units of the samples (the caller scales them from the burst's rms).
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

// Clipping: |y| = min(|x|, limit), the phase of x kept.
void clip_magnitude(cplx* x, size_t n, double limit);

// Rapp power amplifier, saturation amplitude A, smoothness p:
//   |y| = r / (1 + (r/A)^(2p))^(1/(2p)),  r = |x|  (AM/AM; small-signal gain 1),
//   arg y = arg x + phi(r),  phi(r) = ampm_deg x pi/180 x 2u^2 / (1 + u^2),  u = r/A
// (AM/PM: ampm_deg at r = A, growing with the square of the amplitude below
// it and levelling off at twice that far above it).
void rapp_pa(cplx* x, size_t n, double saturation, double smoothness, double ampm_deg);

}  // namespace tarvio
