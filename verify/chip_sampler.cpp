// Windowed-sinc interpolation from a table of 256 fractional delays.
#include "verify/chip_sampler.h"

#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvio::verify {

namespace {

const std::vector<std::array<double, 16>>& taps_table() {
  static const std::vector<std::array<double, 16>> table = [] {
    std::vector<std::array<double, 16>> t(257);
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

ChipSampler::ChipSampler(const cplx* x, size_t n) : x_(x), n_(n), table_(taps_table().data()) {}

cplx ChipSampler::between(double t) const {
  const double i0 = std::floor(t);
  const double frac = t - i0;
  const long base = static_cast<long>(i0);
  if (frac < 1e-9 || frac > 1 - 1e-9) {
    const long i = frac < 0.5 ? base : base + 1;
    return i >= 0 && static_cast<size_t>(i) < n_ ? x_[i] : cplx(0);
  }
  const Taps& h = table_[static_cast<size_t>(std::lround(frac * kFractions))];
  double re = 0, im = 0;
  if (base >= 7 && static_cast<size_t>(base) + 8 < n_) {  // all taps inside the row
    // Four partial sums of (re, im) pairs: one running sum would wait for
    // each addition before the next.
    const double* p = reinterpret_cast<const double*>(x_ + base - 7);
#if defined(__SSE2__)
    __m128d acc[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
    for (size_t k = 0; k < 16; ++k)
      acc[k % 4] = _mm_add_pd(acc[k % 4], _mm_mul_pd(_mm_loadu_pd(p + 2 * k), _mm_set1_pd(h[k])));
    const __m128d sum = _mm_add_pd(_mm_add_pd(acc[0], acc[1]), _mm_add_pd(acc[2], acc[3]));
    return {_mm_cvtsd_f64(sum), _mm_cvtsd_f64(_mm_unpackhi_pd(sum, sum))};
#else
    double r[4] = {}, i[4] = {};
    for (size_t k = 0; k < 16; ++k) {
      r[k % 4] += p[2 * k] * h[k];
      i[k % 4] += p[2 * k + 1] * h[k];
    }
    return {(r[0] + r[1]) + (r[2] + r[3]), (i[0] + i[1]) + (i[2] + i[3])};
#endif
  } else {
    for (int k = -7; k <= 8; ++k) {
      const long i = base + k;
      if (i >= 0 && static_cast<size_t>(i) < n_) {
        re += x_[i].real() * h[static_cast<size_t>(k + 7)];
        im += x_[i].imag() * h[static_cast<size_t>(k + 7)];
      }
    }
  }
  return {re, im};
}

}  // namespace tarvio::verify
