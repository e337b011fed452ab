// Carrier frequency offset and phase offset on a continuous carrier: the
// sample at absolute position n of the waveform (n = 0 its first sample) is
// turned by
//   theta(n) = 2 pi (phase_deg / 360 + frac(f_offset / fs x n)),
// computed from n itself at the start of every 256 samples (so the phase of
// a packet deep in a long waveform is exact, not accumulated from packet to
// packet) and, in between, as that phasor times exp(j 2 pi f_offset / fs x m)
// for m = 0 .. 255 from a table made once: every sample is two complex
// products away from an exact phasor, with no error carried from sample to
// sample, and the samples do not wait on one another.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "runtime/types.h"

namespace tarvio {

// The cycles of the carrier at absolute sample n, phase offset included, in
// [0, 1).
double carrier_cycles(double cycles_per_sample, double phase_deg, uint64_t n);

class CarrierRotation {
 public:
  static constexpr size_t kBlock = 256;
  // cycles_per_sample = f_offset / fs.
  CarrierRotation(double cycles_per_sample, double phase_deg);
  // out[m] = in[m] exp(j theta(first + m)); `in` may be `out`.
  void apply(const cplx* in, cplx* out, size_t n, uint64_t first) const;

 private:
  double step_, phase_deg_;
  std::array<double, 2 * kBlock> table_;  // cos, sin of 2 pi step m
};

// x[m] *= exp(j theta(first + m)), cycles_per_sample = f_offset / fs.
void rotate_carrier(cplx* x, size_t n, double cycles_per_sample, double phase_deg, uint64_t first);

}  // namespace tarvio
