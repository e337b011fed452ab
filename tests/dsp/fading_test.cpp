// Static multipath channel: direct path, cancellation, whole and fractional
// circular delays, path independence and refused inputs.
#include "dsp/fading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tarvio {
namespace {

CVec ramp(size_t n) {
  CVec w(n);
  for (size_t i = 0; i < n; ++i) w[i] = cplx(std::sin(0.3 * i) + 0.1 * i, std::cos(0.7 * i));
  return w;
}

FadingPaths one_path(size_t k, double delay, double atten, double phase) {
  FadingPaths f;
  f.state[k] = 1;
  f.delay[k] = delay;
  f.atten[k] = atten;
  f.phase[k] = phase;
  return f;
}

TEST(ApplyFading, AllPathsOffLeavesTheWaveform) {
  FadingPaths f;
  f.delay[0] = 3;  // ignored while the path is off
  const CVec w = ramp(50);
  EXPECT_EQ(ApplyFading(w, 0.1, f), w);
}

TEST(ApplyFading, OppositePhaseWithoutDelayCancels) {
  const CVec w = ramp(64);
  const CVec out = ApplyFading(w, 0.05, one_path(5, 0, 0, 180));
  for (const cplx& z : out) EXPECT_LT(std::abs(z), 1e-12);
}

struct DelayCase {
  double delaySamples;  // delay / sample period
  size_t n;
};

class FadingDelay : public ::testing::TestWithParam<DelayCase> {};

// Against an independent evaluation: the input is a sum of complex
// exponentials on the circle of n samples, so a circular delay by d samples
// (whole) multiplies each by exp(-j 2 pi m d / n); a fractional delay is
// checked against the linear interpolation of neighbours.
TEST_P(FadingDelay, MatchesCircularShiftWithGainAndPhase) {
  const double d = GetParam().delaySamples;
  const size_t n = GetParam().n;
  const CVec w = ramp(n);
  const double period = 0.025;
  const double atten = -3, phase = 40;
  const CVec out = ApplyFading(w, period, one_path(11, d * period, atten, phase));
  const cplx g = std::polar(std::pow(10.0, atten / 20), phase * std::numbers::pi / 180);
  const double d0 = std::floor(d), f = d - d0;
  auto at = [&](double idx) {
    long long i = static_cast<long long>(idx) % static_cast<long long>(n);
    if (i < 0) i += n;
    return w[i];
  };
  for (size_t i = 0; i < n; ++i) {
    const cplx a = at(double(i) - d0), b = at(double(i) - d0 - 1);
    const cplx want = w[i] + g * (a + (b - a) * f);
    ASSERT_NEAR(std::abs(out[i] - want), 0, 1e-12) << "i=" << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Delays, FadingDelay,
                         ::testing::Values(DelayCase{1, 40}, DelayCase{0.5, 40}, DelayCase{7.25, 40},
                                           DelayCase{40, 40},    // a whole turn: the copy lands on itself
                                           DelayCase{95.5, 40},  // longer than the waveform
                                           DelayCase{3, 1}));

TEST(ApplyFading, OneSampleMovesTheLastSampleToTheFront) {
  const CVec w = {cplx(1, 0), cplx(2, 0), cplx(3, 0), cplx(4, 0)};
  const CVec out = ApplyFading(w, 0.5, one_path(0, 0.5, 0, 0));
  EXPECT_EQ(out, (CVec{cplx(5, 0), cplx(3, 0), cplx(5, 0), cplx(7, 0)}));
  // Half a sample: the average of each sample and its predecessor.
  const CVec half = ApplyFading(w, 0.5, one_path(0, 0.25, 0, 0));
  EXPECT_EQ(half, (CVec{cplx(3.5, 0), cplx(3.5, 0), cplx(5.5, 0), cplx(7.5, 0)}));
}

TEST(ApplyFading, PathsReadTheInputNotThePartialSum) {
  const CVec w = ramp(30);
  FadingPaths both = one_path(0, 2 * 0.1, -6, 30);
  both.state[7] = 1;
  both.delay[7] = 5 * 0.1;
  both.atten[7] = -10;
  both.phase[7] = -90;
  const CVec a = ApplyFading(w, 0.1, one_path(0, 0.2, -6, 30));
  const CVec b = ApplyFading(w, 0.1, one_path(7, 0.5, -10, -90));
  const CVec ab = ApplyFading(w, 0.1, both);
  for (size_t i = 0; i < w.size(); ++i) ASSERT_NEAR(std::abs(ab[i] - (a[i] + b[i] - w[i])), 0, 1e-12);
}

TEST(ApplyFading, RefusesBadInput) {
  const CVec w = ramp(8);
  EXPECT_THROW(ApplyFading(w, 0, FadingPaths{}), std::invalid_argument);
  EXPECT_THROW(ApplyFading(w, -1, FadingPaths{}), std::invalid_argument);
  EXPECT_THROW(ApplyFading(w, 0.1, one_path(2, std::nan(""), 0, 0)), std::invalid_argument);
  EXPECT_TRUE(ApplyFading(CVec{}, 0.1, one_path(2, 1, 0, 0)).empty());
}

}  // namespace
}  // namespace tarvio
