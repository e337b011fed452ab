// The phase-noise profile, its integral, the shaping filter and the
// rotation of the samples.
#include "dsp/phase_noise.h"

#include <algorithm>
#include <cmath>

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
  const double f1 = profile.empty() ? sample_rate : profile[0];
  size_t m = 256;
  while (m < 65536 && static_cast<double>(m) < 4 * sample_rate / f1) m *= 2;
  // Zero-phase frequency samples, then the taps centred in the M-tap span.
  RVec response(m);
  for (size_t k = 0; k < m; ++k) {
    const double f = static_cast<double>(k <= m / 2 ? k : m - k) * sample_rate / static_cast<double>(m);
    response[k] = std::sqrt(sample_rate * phase_noise_level(profile, f));
  }
  filter_ = std::make_unique<KeyedNoiseFilter>(centred_taps(response), CounterNoise(seed, NoiseStream::PhaseNoise));
}

void PhaseNoise::phases(uint64_t first, size_t n, double* out, CVec& scratch) const {
  scratch.resize(n);
  filter_->generate(first, n, scratch.data());
  for (size_t k = 0; k < n; ++k) out[k] = scratch[k].real();
}

void PhaseNoise::apply(cplx* x, size_t n, uint64_t first, CVec& scratch) const {
  scratch.resize(n);
  filter_->generate(first, n, scratch.data());
  for (size_t k = 0; k < n; ++k) {
    double s = 0, c = 0;
    portable_sincos_2pi(scratch[k].real() / (2 * kPi), s, c);
    x[k] *= cplx(c, s);
  }
}

}  // namespace tarvio
