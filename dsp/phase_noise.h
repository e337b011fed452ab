// Phase noise of the carrier from a profile of (offset, level) pairs.
//
// Profile: the single-sideband level L(f) in dBc/Hz at the offsets f_1 <
// f_2 < ... < f_K, linear in dB over log f between them:
//   L(f) = L_i + (L_{i+1} - L_i) log(f/f_i) / log(f_{i+1}/f_i),
// and no phase noise below f_1 or above f_K (nor above half the sample rate).
// The phase phi(t) is a real Gaussian process whose two-sided spectrum is
// S(f) = 10^(L(|f|)/10) rad^2/Hz, so its variance is
//   sigma^2 = 2 integral_{f_1}^{f_K} 10^(L(f)/10) df
// (each segment a power law, integrated in closed form); the integrated
// phase error is sigma x 180/pi degrees rms.
//
// Realisation: at a slow rate fs/D (D the largest power of two up to 1024
// that keeps the profile below 0.4 fs/D), white Gaussian noise filtered by an
// M-tap FIR designed by frequency sampling, |H(k r/M)| = sqrt(r S(k r/M)),
// r = fs/D, M = 2^m >= 4 r/f_1 (at most 65536; offsets below r/M are then
// not reproduced), through the seeded noise stream's filter
// (dsp/keyed_noise_filter.h); the slow phase is brought to fs by the
// band-limited interpolator (exact to -90 dB there) and each sample turned
// by exp(j phi(n)). Every slow sample has its absolute position, so pieces
// of the waveform join without a seam.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/keyed_noise_filter.h"
#include "runtime/types.h"

namespace tarvio {

// L(f) in linear units (rad^2/Hz, one side) from the pair row
// [f_1 L_1 f_2 L_2 ...]; 0 outside [f_1, f_K].
double phase_noise_level(const std::vector<double>& profile, double f);

// The integrated phase error sigma x 180/pi in degrees rms, over
// [f_1, min(f_K, fs/2)].
double phase_noise_rms_degrees(const std::vector<double>& profile, double sample_rate);

class PhaseNoise {
 public:
  PhaseNoise(const std::vector<double>& profile, double sample_rate, uint64_t seed);
  size_t taps() const { return filter_->taps(); }
  // D: samples per slow phase sample.
  size_t decimation() const { return step_; }
  // x[m] *= exp(j phi(first + m)); `scratch` is resized and reused.
  void apply(cplx* x, size_t n, uint64_t first, CVec& scratch) const;
  // phi(first + m) in radians.
  void phases(uint64_t first, size_t n, double* out, CVec& scratch) const;

 private:
  std::unique_ptr<KeyedNoiseFilter> filter_;
  size_t step_ = 1;
  RVec kernels_;  // D kernels of the interpolator, for the positions r/D
};

}  // namespace tarvio
