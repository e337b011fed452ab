// Baseband filter designs: the unit impulse, the root raised cosine against
// the textbook closed form (including its singular taps), the Gaussian
// against its rectangle-times-Gaussian form, and the brick filter's offset
// centre.
#include "dsp/filter_design.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>
#include <tuple>

#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

constexpr double pi = std::numbers::pi;

// Root raised cosine with unit symbol period (the usual closed form, with
// its limits at t = 0 and |t| = 1/(4a)), scaled by 1/sqrt(sps), before any
// normalisation.
double textbook_rrc(double t, double a, double sps) {
  double v;
  if (std::abs(t) < 1e-12)
    v = 1 - a + 4 * a / pi;
  else if (std::abs(std::abs(t) - 1 / (4 * a)) < 1e-12)
    v = a / std::sqrt(2.0) * ((1 + 2 / pi) * std::sin(pi / (4 * a)) + (1 - 2 / pi) * std::cos(pi / (4 * a)));
  else
    v = (std::sin(pi * t * (1 - a)) + 4 * a * t * std::cos(pi * t * (1 + a))) / (pi * t * (1 - 16 * a * a * t * t));
  return v / std::sqrt(sps);
}

class RootCosine : public ::testing::TestWithParam<std::tuple<int, double, int>> {};

TEST_P(RootCosine, MatchesTheClosedFormAndHasUnitDcGain) {
  const auto [taps, alpha, sps] = GetParam();
  const RVec h = Filter_RootCosine(taps, alpha, sps);
  ASSERT_EQ(h.size(), static_cast<size_t>(taps));
  RVec ref(h.size());
  for (size_t i = 0; i < h.size(); ++i) ref[i] = textbook_rrc((i - (taps - 1) / 2.0) / sps, alpha, sps);
  const double sum = std::accumulate(ref.begin(), ref.end(), 0.0);
  EXPECT_NEAR(std::accumulate(h.begin(), h.end(), 0.0), 1.0, 1e-12);
  for (size_t i = 0; i < h.size(); ++i) EXPECT_NEAR(h[i], ref[i] / sum, 1e-10) << "tap " << i;
}

// Cases whose grid hits |t| = 1/(4a): a 0.5 at 2 samples per symbol
// (t = 0.5), a 0.25 at 4 (t = 1), a 0.07 at 7 (t = 25/7), where the exact
// zero test of the denominator fails by one rounding step; and plain ones.
INSTANTIATE_TEST_SUITE_P(Cases, RootCosine,
                         ::testing::Values(std::make_tuple(13, 0.5, 2), std::make_tuple(33, 0.25, 4),
                                           std::make_tuple(63, 0.07, 7), std::make_tuple(71, 0.07, 7),
                                           std::make_tuple(40, 0.35, 4), std::make_tuple(24, 1.0, 8),
                                           std::make_tuple(1, 0.3, 4)));

TEST(RootCosine, SingularTapOfTheNarrowRollOffIsTheAnalyticLimit) {
  // a = 0.07, 7 samples per symbol, 63 taps: the taps 25 either side of the
  // centre sit at |t| = 1/(4a). Their value before normalisation is the
  // limit -0.02834 (textbook form above), not a ratio of rounding errors.
  const RVec h = Filter_RootCosine(63, 0.07, 7);
  double raw_sum = 0;
  for (int i = 0; i < 63; ++i) raw_sum += textbook_rrc((i - 31) / 7.0, 0.07, 7);
  EXPECT_NEAR(h[31 + 25] * raw_sum, -0.02834, 5e-5);
  EXPECT_NEAR(h[31 - 25] * raw_sum, -0.02834, 5e-5);
}

TEST(Gaussian, IsARectangularPulseThroughAGaussian) {
  const double bT = 0.5, os = 4;
  const RVec g = Filter_gaussian(24, bT, os);
  ASSERT_EQ(g.size(), 24u);
  const double sigma = std::sqrt(std::log(2.0)) / (2 * pi * bT);
  for (size_t i = 0; i < g.size(); ++i) {
    const double t = (i - 11.5) / os;
    const double ref = std::erf((t + 0.5) / (std::sqrt(2.0) * sigma)) - std::erf((t - 0.5) / (std::sqrt(2.0) * sigma));
    EXPECT_NEAR(g[i], ref, 1e-12) << "tap " << i;
  }
  // Not normalised: a long filter sums to about twice the oversampling.
  const RVec longer = Filter_gaussian(64, 0.3, 8);
  EXPECT_NEAR(std::accumulate(longer.begin(), longer.end(), 0.0), 16.0, 1e-6);
}

TEST(Brick, IsCentredHalfATapBeforeTheMiddle) {
  const int n = 16, os = 4;
  const RVec h = Filter_brick(n, os);
  ASSERT_EQ(h.size(), 16u);
  // Centre at 0-based position n/2 - 1.5 = 6.5: h[6-k] == h[7+k].
  for (int k = 0; k <= 6; ++k) EXPECT_NEAR(h[6 - k], h[7 + k], 1e-15) << k;
  // The sinc is taken at pi*t: tap 7 is half a tap from the centre.
  const double u = 0.5, x = pi * u / os;
  EXPECT_NEAR(h[7], std::sin(pi * x) / (pi * x) * (0.54 + 0.46 * std::cos(2 * pi * u / n)), 1e-15);
}

TEST(GenFilterCoeffs, TypesSelectTheDesigns) {
  const RVec none = GenFilterCoeffs(0, 6, 0.5, 2, {});
  ASSERT_EQ(none.size(), 12u);
  EXPECT_EQ(none[0], 1.0);
  for (size_t i = 1; i < none.size(); ++i) EXPECT_EQ(none[i], 0.0);
  EXPECT_EQ(GenFilterCoeffs(1, 6, 0.3, 4, {}), Filter_gaussian(24, 0.3, 4));
  EXPECT_EQ(GenFilterCoeffs(2, 6, 0.3, 4, {}), Filter_RootCosine(24, 0.3, 4));
  EXPECT_EQ(GenFilterCoeffs(3, 6, 0.3, 4, {}), Filter_brick(24, 4));
  EXPECT_EQ(GenFilterCoeffs(4, 6, 0.3, 4, {0.25, 0.5}), (RVec{0.25, 0.5}));
  EXPECT_THROW(GenFilterCoeffs(5, 6, 0.3, 4, {}), std::invalid_argument);
}

TEST(GenFilterCoeffs, ByNameTypeFourReturnsTheStoredTaps) {
  state().parameters.filterCoeffs = {0.5, -0.25, 0.125};
  const auto out = Registry::instance().call("GenFilterCoeffs", {Value(4.0), Value(2.0), Value(0.5), Value(4.0)});
  EXPECT_EQ(out.at(0).to_reals(), state().parameters.filterCoeffs);
  EXPECT_EQ(Registry::instance().call("Filter_RootCosine", {Value(13.0), Value(0.5), Value(2.0)}).at(0).to_reals(),
            Filter_RootCosine(13, 0.5, 2));
}

}  // namespace
}  // namespace tarvio
