// Windowed-sinc interpolation from a table of 256 fractional delays.
#include "verify/chip_sampler.h"

#include <cmath>
#include <numbers>

namespace tarvio::verify {

namespace {
using Taps = std::array<double, 16>;

const std::vector<Taps>& taps_table() {
  static const std::vector<Taps> table = [] {
    std::vector<Taps> t(257);
    for (int f = 0; f <= 256; ++f) {
      const double frac = f / 256.0;
      double sum = 0;
      for (int k = -7; k <= 8; ++k) {
        const double u = k - frac;  // distance of sample i0 + k from t
        const double s = std::abs(u) < 1e-12 ? 1.0 : std::sin(std::numbers::pi * u) / (std::numbers::pi * u);
        const double w = 0.5 + 0.5 * std::cos(std::numbers::pi * u / 8.5);
        t[f][k + 7] = s * w;
        sum += s * w;
      }
      for (double& v : t[f]) v /= sum;  // unit gain at DC
    }
    return t;
  }();
  return table;
}
}  // namespace

ChipSampler::ChipSampler(const cplx* x, size_t n) : x_(x), n_(n) { taps_table(); }

cplx ChipSampler::at(double t) const {
  const double i0 = std::floor(t);
  const double frac = t - i0;
  const long base = static_cast<long>(i0);
  if (frac < 1e-9 || frac > 1 - 1e-9) {
    const long i = frac < 0.5 ? base : base + 1;
    return i >= 0 && static_cast<size_t>(i) < n_ ? x_[i] : cplx(0);
  }
  const Taps& h = taps_table()[static_cast<size_t>(std::lround(frac * kFractions))];
  cplx acc = 0;
  for (int k = -7; k <= 8; ++k) {
    const long i = base + k;
    if (i >= 0 && static_cast<size_t>(i) < n_) acc += x_[i] * h[static_cast<size_t>(k + 7)];
  }
  return acc;
}

}  // namespace tarvio::verify
