// The tabulated windowed-sinc kernels and the two uses of them.
#include "dsp/band_limited_interpolator.h"

#include <cmath>

namespace tarvio {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBeta = 8.6;
constexpr int kHalf = BandLimitedInterpolator::kTaps / 2;

// The modified Bessel function I0 by its power series.
double bessel_i0(double x) {
  double sum = 1, term = 1;
  const double q = x * x / 4;
  for (int k = 1; k < 60; ++k) {
    term *= q / (static_cast<double>(k) * k);
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

// The value of a row at whole position i + mu, from the K taps `h`; the
// samples outside [0, n) count as 0.
template <class T>
T apply(const T* x, size_t n, long long i, const double* h) {
  const long long first = i - kHalf + 1;
  T acc{};
  if (first >= 0 && first + BandLimitedInterpolator::kTaps <= static_cast<long long>(n)) {
    const T* p = x + first;
    for (int k = 0; k < BandLimitedInterpolator::kTaps; ++k) acc += h[k] * p[k];
    return acc;
  }
  for (int k = 0; k < BandLimitedInterpolator::kTaps; ++k) {
    const long long j = first + k;
    if (j >= 0 && j < static_cast<long long>(n)) acc += h[k] * x[j];
  }
  return acc;
}

}  // namespace

BandLimitedInterpolator::BandLimitedInterpolator() {
  const double i0b = bessel_i0(kBeta);
  for (int p = 0; p <= kPhases; ++p) {
    const double mu = static_cast<double>(p) / kPhases;
    double* row = table_ + p * kTaps;
    double sum = 0;
    for (int k = 0; k < kTaps; ++k) {
      const double d = k - kHalf + 1 - mu;
      const double r = d / kHalf;
      const double w = std::fabs(r) >= 1 ? 0 : bessel_i0(kBeta * std::sqrt(1 - r * r)) / i0b;
      const double s = d == 0 ? 1 : d == std::floor(d) ? 0 : std::sin(kPi * d) / (kPi * d);
      row[k] = s * w;
      sum += row[k];
    }
    for (int k = 0; k < kTaps; ++k) row[k] /= sum;
  }
}

const BandLimitedInterpolator& BandLimitedInterpolator::instance() {
  static const BandLimitedInterpolator table;
  return table;
}

void BandLimitedInterpolator::kernel(double mu, double* out) const {
  const double pos = mu * kPhases;
  int j = static_cast<int>(pos);
  if (j >= kPhases) j = kPhases - 1;
  const double a = pos - j;
  const double* r0 = table_ + j * kTaps;
  const double* r1 = r0 + kTaps;
  for (int k = 0; k < kTaps; ++k) out[k] = r0[k] + a * (r1[k] - r0[k]);
}

void BandLimitedInterpolator::time_scale(const cplx* in, size_t n, double rate, cplx* out) const {
  double h[kTaps];
  for (size_t m = 0; m < n; ++m) {
    // The position is computed from m each time, never accumulated.
    const double t = static_cast<double>(m) * rate;
    const double i = std::floor(t);
    const double mu = t - i;
    if (mu == 0) {
      const auto ii = static_cast<size_t>(i);
      out[m] = ii < n ? in[ii] : cplx(0, 0);
      continue;
    }
    kernel(mu, h);
    out[m] = apply(in, n, static_cast<long long>(i), h);
  }
}

void BandLimitedInterpolator::delay(const double* in, size_t n, double d, double* out) const {
  // x(m - d) = x((m - ceil(d)) + mu) with mu = ceil(d) - d in [0, 1).
  const double whole = std::ceil(d);
  const double mu = whole - d;
  const auto shift = static_cast<long long>(whole);
  double h[kTaps];
  kernel(mu, h);
  for (size_t m = 0; m < n; ++m) out[m] = apply(in, n, static_cast<long long>(m) - shift, h);
}

}  // namespace tarvio
