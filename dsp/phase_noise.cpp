// The phase-noise profile, its integral, the shaping filter and the
// rotation of the samples.
#include "dsp/phase_noise.h"

#include <algorithm>
#include <cmath>

#include "dsp/band_limited_interpolator.h"
#include "dsp/counter_noise.h"

namespace tarvio {

namespace {

constexpr double kPi = 3.14159265358979323846;

size_t pairs(const std::vector<double>& profile) { return profile.size() / 2; }

}  // namespace

double phase_noise_level(const std::vector<double>& profile, double f) {
  const size_t k = pairs(profile);
  if (k < 2 || f < profile[0] || f > profile[2 * (k - 1)]) return 0;
  for (size_t i = 0; i + 1 < k; ++i) {
    const double fa = profile[2 * i], la = profile[2 * i + 1], fb = profile[2 * i + 2], lb = profile[2 * i + 3];
    if (f <= fb) {
      const double db = la + (lb - la) * std::log(f / fa) / std::log(fb / fa);
      return std::pow(10.0, db / 10);
    }
  }
  return 0;
}

double phase_noise_rms_degrees(const std::vector<double>& profile, double sample_rate) {
  const size_t k = pairs(profile);
  const double top = sample_rate / 2;
  double var = 0;
  for (size_t i = 0; i + 1 < k; ++i) {
    const double fa = profile[2 * i], la = profile[2 * i + 1], fb0 = profile[2 * i + 2], lb0 = profile[2 * i + 3];
    if (fa >= top) break;
    // 10^(L/10) = p_a (f/f_a)^s on the segment.
    const double s = (lb0 - la) / (10 * std::log10(fb0 / fa));
    const double fb = std::min(fb0, top);
    const double pa = std::pow(10.0, la / 10);
    const double ratio = fb / fa;
    var += std::fabs(s + 1) < 1e-12 ? pa * fa * std::log(ratio) : pa * fa / (s + 1) * (std::pow(ratio, s + 1) - 1);
  }
  return std::sqrt(2 * var) * 180 / kPi;
}

PhaseNoise::PhaseNoise(const std::vector<double>& profile, double sample_rate, uint64_t seed) {
  const size_t k = pairs(profile);
  const double f1 = k > 0 ? profile[0] : sample_rate;
  const double top = std::min(k > 0 ? profile[2 * (k - 1)] : sample_rate, sample_rate / 2);
  // The slowest rate fs/D (D a power of two) that keeps the profile below
  // 0.4 of it, where the interpolator is exact to -90 dB.
  while (step_ < 1024 && sample_rate / static_cast<double>(2 * step_) >= 2.5 * top) step_ *= 2;
  const double rate = sample_rate / static_cast<double>(step_);
  size_t m = 256;
  while (m < 65536 && static_cast<double>(m) < 4 * rate / f1) m *= 2;
  // Zero-phase frequency samples, then the taps centred in the M-tap span.
  RVec response(m);
  for (size_t j = 0; j < m; ++j) {
    const double f = static_cast<double>(j <= m / 2 ? j : m - j) * rate / static_cast<double>(m);
    response[j] = std::sqrt(rate * phase_noise_level(profile, f));
  }
  filter_ = std::make_unique<KeyedNoiseFilter>(centred_taps(response), CounterNoise(seed, NoiseStream::PhaseNoise));
  // One interpolation kernel per position of a sample between two slow ones.
  kernels_.resize(step_ * BandLimitedInterpolator::kTaps);
  for (size_t r = 0; r < step_; ++r)
    BandLimitedInterpolator::instance().kernel(static_cast<double>(r) / static_cast<double>(step_),
                                               kernels_.data() + r * BandLimitedInterpolator::kTaps);
}

void PhaseNoise::phases(uint64_t first, size_t n, double* out, CVec& scratch) const {
  if (n == 0) return;
  if (step_ == 1) {
    scratch.resize(n);
    filter_->generate(first, n, scratch.data());
    for (size_t k = 0; k < n; ++k) out[k] = scratch[k].real();
    return;
  }
  // Sample first + m lies at slow position (first + m) / D; the slow samples
  // around [first / D, (first + n - 1) / D] are made at their own absolute
  // positions (counted modulo 2^64 before the waveform's start), so pieces
  // join without a seam.
  constexpr size_t kTaps = BandLimitedInterpolator::kTaps, kHalf = kTaps / 2;
  const uint64_t lo = first / step_ - (kHalf - 1);
  const size_t count = static_cast<size_t>((first + n - 1) / step_ - first / step_) + kTaps;
  scratch.resize(count);
  filter_->generate(lo, count, scratch.data());
  for (size_t m = 0; m < n; ++m) {
    const uint64_t at = first + m;
    const size_t i = static_cast<size_t>(at / step_ - first / step_);  // slow sample at or before, from lo + kHalf - 1
    const double* h = kernels_.data() + (at % step_) * kTaps;
    const cplx* x = scratch.data() + i;
    double acc = 0;
    for (size_t j = 0; j < kTaps; ++j) acc += h[j] * x[j].real();
    out[m] = acc;
  }
}

void PhaseNoise::apply(cplx* x, size_t n, uint64_t first, CVec& scratch) const {
  thread_local RVec phi;
  phi.resize(n);
  phases(first, n, phi.data(), scratch);
  for (size_t k = 0; k < n; ++k) {
    double s = 0, c = 0;
    portable_sincos_2pi(phi[k] / (2 * kPi), s, c);
    x[k] *= cplx(c, s);
  }
}

}  // namespace tarvio
