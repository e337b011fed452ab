// DAC-resolution quantisation: the largest component on the full-scale step,
// rounding half away from zero, pass-through cases.
#include "dsp/dac_res.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

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

TEST(ApplyDacRes, SeparateRowsHoldExactlyTheInterleavedResult) {
  // Long enough to be quantised on several cores; some components sit
  // exactly on half steps, where the rounding direction shows.
  CVec w(1 << 20);
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-8191, 8191);
  for (cplx& v : w) v = {u(gen), u(gen)};
  w[0] = {8191, -8191};    // full scale at 14 bits: one step is 1
  w[12345] = {2.5, -0.5};  // halves round away from zero
  const CVec q = ApplyDacRes(w, 14);
  EXPECT_EQ(q[12345], cplx(3, -1));
  RVec re = {42}, im;
  ApplyDacRes(w, 14, re, im);
  ASSERT_EQ(re.size(), w.size());
  ASSERT_EQ(im.size(), w.size());
  size_t differ = 0;
  for (size_t k = 0; k < w.size(); ++k) differ += q[k] != cplx(re[k], im[k]);
  EXPECT_EQ(differ, 0u);
  // Pass-through and refusal hold for the separate rows too.
  ApplyDacRes(w, 2, re, im);
  EXPECT_EQ(cplx(re[9], im[9]), w[9]);
  w[777777] = {0, NAN};
  EXPECT_THROW(ApplyDacRes(w, 14, re, im), std::invalid_argument);
}

}  // namespace
}  // namespace tarvio
