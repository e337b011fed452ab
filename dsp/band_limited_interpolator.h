// Band-limited interpolation of a sample row at any fractional position:
// the sample clock error (a packet time-scaled about its first sample) and
// the IQ skew (Q delayed against I) both use it.
//
// The value at position t = i + mu (i whole, 0 <= mu < 1) is
//   x(t) = sum_{k=0}^{K-1} h_mu[k] x[i - K/2 + 1 + k],  K = 32 taps,
//   h_mu[k] = sinc(d) w(d) / sum_k (sinc(d) w(d)),  d = k - K/2 + 1 - mu,
// a Kaiser-windowed sinc (w(d) = I0(beta sqrt(1 - (2d/K)^2)) / I0(beta),
// beta = 8.6) normalised to unit gain at DC. The kernels are tabulated for
// 1024 values of mu and interpolated linearly between neighbouring rows;
// mu = 0 returns the sample itself. Samples outside the row count as 0.
//
// Accuracy (measured in tests/dsp/band_limited_interpolator_test.cpp, as the
// error of a resampled complex tone against the exact tone, which holds the
// gain error, the phase error and every image and alias together): below
// -90 dB up to 0.40 cycles per sample, -62 dB at 0.42 (the OFDM signal at
// OverSampling 1 reaches 0.415), -25 dB at 0.45; the passband ripple is below
// 0.001 dB up to 0.40 and 0.006 dB at 0.42.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

class BandLimitedInterpolator {
 public:
  static constexpr int kTaps = 32;
  static constexpr int kPhases = 1024;

  // The one table, built on first use.
  static const BandLimitedInterpolator& instance();

  // The K taps for the fractional part mu in [0, 1): out[k] multiplies
  // x[i - K/2 + 1 + k].
  void kernel(double mu, double* out) const;

  // out[m] = x(m x rate) for m = 0 .. n-1: the row played `rate` times as
  // fast, time-scaled about its first sample. `out` must not overlap `in`.
  void time_scale(const cplx* in, size_t n, double rate, cplx* out) const;
  // out[m] = x(m - delay) for m = 0 .. n-1 (a real row delayed by `delay`
  // samples, any sign, any fraction). `out` must not overlap `in`.
  void delay(const double* in, size_t n, double delay, double* out) const;

 private:
  BandLimitedInterpolator();
  double table_[(kPhases + 1) * kTaps];
};

}  // namespace tarvio
