// Additive white Gaussian noise from the seeded noise stream, white over the
// whole sample rate or limited to a bandwidth around the carrier.
//
// White (bandwidth >= fs): x[m] += sqrt(P/2) g(first + m), g the stream's
// complex Gaussian samples (E|g|^2 = 2), so the noise power is P.
// Band-limited to B < fs: the noise is g through a low-pass FIR h cut off at
// B/2 (Kaiser-windowed sinc, transition 0.1 B wide centred on B/2, 60 dB
// stop band, unit gain at DC, at most 8191 taps), scaled by
// sqrt(P / (2 E)), E the energy of the filter's response within +-B/2
// (computed exactly from the taps): the power within B is P, the spectral
// density there P / B, and the little the transition band lets through
// beyond B/2 (about 0.5 %) comes on top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "dsp/counter_noise.h"
#include "dsp/keyed_noise_filter.h"
#include "runtime/types.h"

namespace tarvio {

class Awgn {
 public:
  Awgn(double sample_rate, double bandwidth, uint64_t seed);
  bool band_limited() const { return filter_ != nullptr; }
  size_t taps() const { return filter_ ? filter_->taps() : 0; }
  // x[m] += noise(first + m) of power `power`; `scratch` is resized and reused.
  void add(cplx* x, size_t n, uint64_t first, double power, CVec& scratch) const;

 private:
  CounterNoise noise_;
  std::unique_ptr<KeyedNoiseFilter> filter_;
  double energy_ = 1;  // the filter's energy within the band
};

}  // namespace tarvio
