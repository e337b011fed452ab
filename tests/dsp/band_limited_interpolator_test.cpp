// The band-limited interpolator's accuracy, measured: a complex tone
// resampled at fractional positions against the exact tone (error of
// amplitude, phase, images and aliases together) and its passband ripple.
#include "dsp/band_limited_interpolator.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvio {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Error power over signal power in dB and the gain in dB of a tone at f
// cycles per sample time-scaled by `rate`, away from the row's ends.
std::pair<double, double> tone_error(double f, double rate) {
  const size_t n = 20000;
  CVec x(n), y(n);
  for (size_t k = 0; k < n; ++k) x[k] = std::polar(1.0, 2 * kPi * f * double(k));
  BandLimitedInterpolator::instance().time_scale(x.data(), n, rate, y.data());
  double err = 0, sig = 0;
  cplx corr(0, 0);
  for (size_t m = 64; m < size_t(double(n) / rate) - 64; ++m) {
    const cplx want = std::polar(1.0, 2 * kPi * f * double(m) * rate);
    err += std::norm(y[m] - want);
    sig += 1;
    corr += y[m] * std::conj(want);
  }
  return {10 * std::log10(err / sig), 20 * std::log10(std::abs(corr) / sig)};
}

TEST(BandLimitedInterpolator, WholePositionsReturnTheSamples) {
  CVec x = {cplx(1, 2), cplx(-3, 4), cplx(5, -6), cplx(0.5, 0.25)};
  CVec y(x.size());
  BandLimitedInterpolator::instance().time_scale(x.data(), x.size(), 1.0, y.data());
  EXPECT_EQ(y, x);
  std::vector<double> r = {1, 2, 3, 4, 5}, d(5);
  BandLimitedInterpolator::instance().delay(r.data(), r.size(), 2, d.data());
  EXPECT_EQ(d, (std::vector<double>{0, 0, 1, 2, 3}));
}

TEST(BandLimitedInterpolator, MeasuredAccuracyOverTheBand) {
  struct Case {
    double f, max_error_db;
  };
  // The rates sweep every fractional position over the row.
  for (double rate : {1 + 40e-6, 1 - 1e-3, 1.37})
    for (const Case c : {Case{0.01, -85}, Case{0.2, -85}, Case{0.35, -85}, Case{0.4, -85}, Case{0.42, -60}}) {
      const auto [err, gain] = tone_error(c.f, rate);
      EXPECT_LT(err, c.max_error_db) << "f " << c.f << " rate " << rate;
      if (c.f <= 0.4) {
        EXPECT_LT(std::fabs(gain), 0.001) << "ripple at f " << c.f << " rate " << rate;
      }
    }
}

}  // namespace
}  // namespace tarvio
