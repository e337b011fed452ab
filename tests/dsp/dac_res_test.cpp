// DAC-resolution quantisation: the largest component on the full-scale step,
// rounding half away from zero, pass-through cases.
#include "dsp/dac_res.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvio {
namespace {

TEST(ApplyDacRes, FourteenBitsPutTheLargestComponentOn8191Steps) {
  const CVec w = {cplx(0.5, -0.25), cplx(-0.125, 0.3), cplx(0.001, 0)};
  const CVec q = ApplyDacRes(w, 14);
  const double scale = 8191 / 0.5;
  EXPECT_DOUBLE_EQ(q[0].real() * scale, 8191);
  EXPECT_DOUBLE_EQ(q[0].imag() * scale, std::round(-0.25 * scale));
  for (size_t i = 0; i < w.size(); ++i) {
    // Every component is a whole number of steps, within half a step.
    for (double c : {q[i].real() * scale, q[i].imag() * scale}) EXPECT_NEAR(c, std::round(c), 1e-9);
    EXPECT_LE(std::abs(q[i].real() - w[i].real()), 0.5 / scale + 1e-15);
    EXPECT_LE(std::abs(q[i].imag() - w[i].imag()), 0.5 / scale + 1e-15);
  }
}

TEST(ApplyDacRes, HalvesRoundAwayFromZero) {
  // 3 bits: scale = 3 / m with m = 3, so values are their own step counts.
  const CVec q = ApplyDacRes({cplx(3, -3), cplx(0.5, -0.5), cplx(1.5, -2.5)}, 3);
  EXPECT_EQ(q[1], cplx(1, -1));
  EXPECT_EQ(q[2], cplx(2, -3));
}

TEST(ApplyDacRes, PassThroughCases) {
  const CVec w = {cplx(0.123456, -0.5), cplx(1, 0)};
  EXPECT_EQ(ApplyDacRes(w, 2), w);
  EXPECT_EQ(ApplyDacRes(w, 1), w);
  const CVec zeros(5);
  EXPECT_EQ(ApplyDacRes(zeros, 14), zeros);  // no scale to apply: zero stays zero
  EXPECT_TRUE(ApplyDacRes(CVec{}, 14).empty());
  // Beyond 32 bits counts as 32.
  EXPECT_EQ(ApplyDacRes(w, 64), ApplyDacRes(w, 32));
}

TEST(ApplyDacRes, RefusesValuesThatAreNotFinite) {
  EXPECT_THROW(ApplyDacRes({cplx(std::nan(""), 0)}, 14), std::invalid_argument);
  EXPECT_THROW(ApplyDacRes({cplx(1, 0)}, std::nan("")), std::invalid_argument);
}

}  // namespace
}  // namespace tarvio
