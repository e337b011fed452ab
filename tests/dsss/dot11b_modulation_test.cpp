// DBPSK/DQPSK with Barker spreading and CCK of the 802.11b generator,
// checked against the worked examples and the IEEE 802.11b definitions.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "dsss/dot11b_barker.h"
#include "dsss/dot11b_cck.h"
#include "dsss/dot11b_dsss_mod.h"

namespace {

using tarvio::Bits;
using tarvio::cplx;
using tarvio::CVec;
constexpr double kPi = std::numbers::pi;
const cplx kStart = cplx(1, 1) / std::sqrt(2.0);

void expect_near(cplx a, cplx b, const char* what = "") {
  EXPECT_NEAR(std::abs(a - b), 0.0, 1e-12) << what << ": " << a << " vs " << b;
}

TEST(Dot11bDsss, OneMbitExample) {
  const auto r = tarvio::Dot11b_1Mbps({0, 1, 1, 0}, kStart);
  ASSERT_EQ(r.output.size(), 44u);
  const cplx symbols[4] = {kStart, -kStart, kStart, kStart};
  const double barker[11] = {1, -1, 1, 1, -1, 1, 1, 1, -1, -1, -1};
  for (size_t n = 0; n < 4; ++n)
    for (size_t k = 0; k < 11; ++k) expect_near(r.output[11 * n + k], symbols[n] * barker[k]);
  expect_near(r.lastPhase, kStart);
}

TEST(Dot11bDsss, TwoMbitRotations) {
  // 01 turns by +pi/2, 11 by pi; 10 by -pi/2, 00 not at all.
  const CVec s = tarvio::Dot11b_DQPSK({0, 1, 1, 1, 1, 0, 0, 0}, kStart);
  ASSERT_EQ(s.size(), 4u);
  expect_near(s[0], kStart * cplx(0, 1));
  expect_near(s[1], -s[0]);
  expect_near(s[2], s[1] * cplx(0, -1));
  expect_near(s[3], s[2]);
  const auto r = tarvio::Dot11b_2Mbps({0, 1, 1, 1}, kStart);
  EXPECT_EQ(r.output.size(), 22u);
  expect_near(r.lastPhase, s[1]);
  EXPECT_THROW(tarvio::Dot11b_DQPSK({0, 1, 1}, kStart), std::invalid_argument);
  EXPECT_THROW(tarvio::Dot11b_DQPSK({}, kStart), std::invalid_argument);
  EXPECT_THROW(tarvio::Dot11b_DBPSK({}, kStart), std::invalid_argument);
}

TEST(Dot11bDsss, BarkerHasIdealAperiodicAutocorrelation) {
  const CVec chips = tarvio::Dot11b_BarkerSpread({cplx(1, 0)});
  ASSERT_EQ(chips.size(), 11u);
  for (size_t lag = 1; lag < 11; ++lag) {
    double acc = 0;
    for (size_t k = 0; k + lag < 11; ++k) acc += chips[k].real() * chips[k + lag].real();
    EXPECT_LE(std::abs(acc), 1.0) << lag;
  }
}

TEST(Dot11bCck, AllZeroBitsAtElevenMbit) {
  const double theta = std::arg(kStart);
  const CVec chips = tarvio::Dot11b_CCK11(Bits(8 * 6, 0), kStart);
  ASSERT_EQ(chips.size(), 48u);
  const double phi1[6] = {theta, theta + kPi, theta + kPi, theta + 2 * kPi, theta + 2 * kPi, theta + 3 * kPi};
  const double pattern[8] = {1, 1, 1, -1, 1, 1, -1, 1};
  for (size_t i = 0; i < 6; ++i)
    for (size_t k = 0; k < 8; ++k) expect_near(chips[8 * i + k], std::polar(pattern[k], phi1[i]));
}

TEST(Dot11bCck, DqpskPhaseRunsUnreduced) {
  const tarvio::RVec phi = tarvio::Dot11b_CCK_DQPSK({0, 0, 1, 1}, {1, 0, 1, 0}, 0.25);
  ASSERT_EQ(phi.size(), 4u);
  EXPECT_DOUBLE_EQ(phi[0], 0.25 + kPi / 2);             // 01, even
  EXPECT_DOUBLE_EQ(phi[1], phi[0] + (0 + kPi));         // 00, odd
  EXPECT_DOUBLE_EQ(phi[2], phi[1] + kPi);               // 11, even
  EXPECT_DOUBLE_EQ(phi[3], phi[2] + (-kPi / 2 + kPi));  // 10, odd
  EXPECT_THROW(tarvio::Dot11b_CCK_DQPSK({0}, {0, 1}, 0), std::invalid_argument);
}

// Every codeword chip is a unit phasor, and the 5.5 Mbit/s symbols (phi3 = 0,
// phi2 in {pi/2, 3pi/2}) are the four mutually orthogonal words of the
// standard.
TEST(Dot11bCck, FiveAndAHalfUsesOrthogonalSubset) {
  CVec words[4];
  for (unsigned v = 0; v < 4; ++v) {
    const Bits b = {0, 0, uint8_t(v >> 1), uint8_t(v & 1)};
    words[v] = tarvio::Dot11b_CCK5(b, cplx(1, 0));
    ASSERT_EQ(words[v].size(), 8u);
    const auto cw = tarvio::Dot11b_CCKcodeword(0, (v >> 1) * kPi + kPi / 2, 0, (v & 1) * kPi);
    for (size_t k = 0; k < 8; ++k) {
      expect_near(words[v][k], cw[k]);
      EXPECT_NEAR(std::abs(cw[k]), 1.0, 1e-12);
    }
  }
  for (unsigned a = 0; a < 4; ++a)
    for (unsigned b = a + 1; b < 4; ++b) {
      cplx dot = 0;
      for (size_t k = 0; k < 8; ++k) dot += words[a][k] * std::conj(words[b][k]);
      EXPECT_NEAR(std::abs(dot), 0.0, 1e-9) << a << "," << b;
    }
}

TEST(Dot11bCck, ChipCountsAndRateErrors) {
  EXPECT_EQ(tarvio::Dot11b_CCK(Bits(8000, 1), 11, kStart).size(), 8000u);
  EXPECT_EQ(tarvio::Dot11b_CCK(Bits(8000, 1), 5.5, kStart).size(), 16000u);
  EXPECT_EQ(tarvio::Dot11b_CCK11(Bits(13, 0), kStart).size(), 8u);  // incomplete symbol not sent
  EXPECT_THROW(tarvio::Dot11b_CCK(Bits(8, 0), 2, kStart), std::invalid_argument);
}

}  // namespace
