// Carrier frequency offset and phase offset on a continuous carrier: the
// sample at absolute position n of the waveform (n = 0 its first sample) is
// turned by
//   theta(n) = 2 pi (phase_deg / 360 + frac(f_offset / fs x n)),
// computed from n itself at the start of every 256 samples (so the phase of
// a packet deep in a long waveform is exact, not accumulated from packet to
// packet) and stepped by exp(j 2 pi f_offset / fs) in between.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/types.h"

namespace tarvio {

// The cycles of the carrier at absolute sample n, phase offset included, in
// [0, 1).
double carrier_cycles(double cycles_per_sample, double phase_deg, uint64_t n);

// x[m] *= exp(j theta(first + m)), cycles_per_sample = f_offset / fs.
void rotate_carrier(cplx* x, size_t n, double cycles_per_sample, double phase_deg, uint64_t first);

}  // namespace tarvio
