// The analysis views of a packet against verify's own figures: the points
// kept give back the rms EVM (per sub-carrier, per symbol, per chip block,
// as the mean of squares), keeping them changes no figure, and the mask
// line is the limit verify judges by: a clean burst stays under it, an
// over-driven one crosses it where verify fails it.
#include "tests/verify/test_packets.h"
#include "verify/packet_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "dsp/filter_design.h"
#include "dsss/dot11b_frame.h"
#include "ofdm/dot11a_frame.h"
#include "verify/verifier.h"

namespace tarvio::verify {
namespace {

using testing::random_psdu;

CVec ofdm_frame(double rate, double modulation, double codeRate, const Bits& psdu, double os) {
  RVec mask(53, 1.0);
  mask[26] = 0;
  return Dot11a_FRAME(1, psdu, 0, rate, modulation, codeRate, 1, 93, 1, mask, os, 2, 200 * os, 0, 0, 16 * os, 0, 0,
                      GenFilterCoeffs(0, 16, 0, os, {}))
      .waveform;
}

CVec cck_frame(const Bits& psdu, double rate) {
  const RVec taps = GenFilterCoeffs(0, 8, 0.5, 1, {});
  return Dot11b_FRAME(psdu, rate, 0, 0, 0, 1, 1, 1, 300, 0, 0, 1, 0, 0.5, 8, 0, taps).waveform;
}

void add_noise(CVec& x, double sigma2, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> n(0, std::sqrt(sigma2 / 2));
  for (auto& v : x) v += cplx(n(gen), n(gen));
}

double mean_square(const std::vector<double>& v) {
  double s = 0;
  for (double x : v) s += x * x;
  return v.empty() ? 0 : s / static_cast<double>(v.size());
}

std::vector<PacketCheck> check(const CVec& x, double fs, Family f, bool keep) {
  return verify_waveform(x.data(), x.size(), fs, f, Expected{}, 1, {}, keep);
}

TEST(PacketViewTest, PointsGiveBackTheRmsEvm) {
  struct Case {
    const char* name;
    Family family;
    double fs;
    CVec x;
  };
  std::vector<Case> cases;
  cases.push_back({"OFDM 16-QAM", Family::Ofdm, 20e6, ofdm_frame(24, 3, 0.5, random_psdu(400, 1), 1)});
  cases.push_back({"OFDM 64-QAM os 2", Family::Ofdm, 40e6, ofdm_frame(54, 4, 0.75, random_psdu(300, 2), 2)});
  cases.push_back({"CCK 11", Family::Dsss, 11e6, cck_frame(random_psdu(800, 3), 11)});
  cases.push_back({"DQPSK 2", Family::Dsss, 11e6, cck_frame(random_psdu(200, 4), 2)});
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    add_noise(c.x, c.family == Family::Ofdm ? 1e-5 : 4e-3, 7);
    const auto plain = check(c.x, c.fs, c.family, false), kept = check(c.x, c.fs, c.family, true);
    ASSERT_EQ(plain.size(), 1u);
    ASSERT_EQ(kept.size(), 1u);
    ASSERT_TRUE(kept[0].pass) << (kept[0].failures.empty() ? "" : kept[0].failures.front());
    const PacketView v = packet_view(kept[0], c.x.data(), c.x.size(), c.fs);
    ASSERT_FALSE(v.points.empty());
    EXPECT_EQ(v.points.size(), v.ideal.size());
    if (c.family == Family::Ofdm) {
      const OfdmPacket& p = kept[0].ofdm;
      EXPECT_TRUE(plain[0].ofdm.points.empty());  // kept only when asked for
      EXPECT_EQ(plain[0].ofdm.evmDb, p.evmDb);
      EXPECT_EQ(v.points.size(), 48 * p.symbols);
      ASSERT_EQ(v.perCarrier.size(), 48u);
      EXPECT_EQ(v.carriers.front(), -26);
      EXPECT_EQ(v.carriers.back(), 26);
      EXPECT_EQ(std::count(v.carriers.begin(), v.carriers.end(), 0.0), 0);
      ASSERT_EQ(v.perSymbol.size(), p.symbols);
      EXPECT_NEAR(std::sqrt(mean_square(v.perCarrier)), p.evmPercent, 1e-9 * p.evmPercent);
      EXPECT_NEAR(std::sqrt(mean_square(v.perSymbol)), p.evmPercent, 1e-9 * p.evmPercent);
      // Noise spreads evenly: no sub-carrier far from the mean.
      const auto [lo, hi] = std::minmax_element(v.perCarrier.begin(), v.perCarrier.end());
      EXPECT_GT(*lo, 0.5 * p.evmPercent);
      EXPECT_LT(*hi, 1.5 * p.evmPercent);
    } else {
      const DsssPacket& p = kept[0].dsss;
      EXPECT_TRUE(plain[0].dsss.points.empty());
      EXPECT_EQ(plain[0].dsss.evmPeakPercent, p.evmPeakPercent);
      EXPECT_TRUE(v.perCarrier.empty());
      ASSERT_GE(v.perSymbol.size(), 2u);
      // Blocks of 1000 chips: the peak over the whole ones is verify's.
      const double peak = *std::max_element(v.perSymbol.begin(), v.perSymbol.end() - 1);
      EXPECT_NEAR(peak, p.evmPeakPercent, 1e-9 * p.evmPeakPercent);
      double err = 0;
      for (size_t i = 0; i < v.points.size(); ++i) err += std::norm(v.points[i] - v.ideal[i]);
      EXPECT_NEAR(100 * std::sqrt(err / static_cast<double>(v.points.size())), p.evmPercent, 1e-9 * p.evmPercent);
    }
  }
}

// The largest excess of the view's spectrum over its mask line beyond the
// line's flat part, in dB (negative when under it everywhere).
double worst_excess(const PacketView& v) {
  double worst = -1e9;
  for (size_t k = 0; k < v.spectrumDb.size(); ++k)
    if (v.maskDb[k] < 0) worst = std::max(worst, v.spectrumDb[k] - v.maskDb[k]);
  return worst;
}

TEST(PacketViewTest, MaskLineIsTheLimitVerifyJudgesBy) {
  // Idle samples either side, for the power against time.
  CVec clean(2000), frame = ofdm_frame(54, 4, 0.75, random_psdu(500, 5), 4);
  clean.insert(clean.begin() + 1000, frame.begin(), frame.end());
  CVec clipped = clean;
  double peak = 0;
  for (const cplx& v : clean) peak = std::max(peak, std::abs(v));
  for (cplx& v : clipped)
    if (std::abs(v) > 0.2 * peak) v *= 0.2 * peak / std::abs(v);
  const double fs = 80e6;
  for (const CVec* x : {static_cast<const CVec*>(&clean), static_cast<const CVec*>(&clipped)}) {
    const auto c = check(*x, fs, Family::Ofdm, true);
    ASSERT_EQ(c.size(), 1u);
    const PacketView v = packet_view(c[0], x->data(), x->size(), fs);
    ASSERT_EQ(v.spectrumDb.size(), v.maskDb.size());
    ASSERT_GT(v.spectrumDb.size(), 100u);
    EXPECT_EQ(*std::max_element(v.spectrumDb.begin(), v.spectrumDb.end()), 0);  // dBr: relative to the peak
    // The line: 0 dBr to 9 MHz, -20 at 11, -28 at 20, -40 beyond 30.
    for (size_t k = 0; k < v.maskDb.size(); ++k)
      EXPECT_EQ(v.maskDb[k], mask_limit_db(MaskKind::Ofdm, v.f0Hz + static_cast<double>(k) * v.dfHz));
    ASSERT_TRUE(c[0].mask.evaluated);
    if (x == &clean) {
      EXPECT_TRUE(c[0].mask.pass);
      EXPECT_LT(worst_excess(v), 0);
    } else {
      EXPECT_FALSE(c[0].mask.pass);
      EXPECT_GT(worst_excess(v), 0);
    }
    // Power against time: the burst's edges inside the row, the burst at
    // about its own mean level, the margins below it.
    ASSERT_FALSE(v.powerDb.empty());
    EXPECT_GT(v.burstStartS, v.t0S);
    EXPECT_LT(v.burstEndS, v.t0S + v.dtS * static_cast<double>(v.powerDb.size()));
    EXPECT_LT(v.powerDb.front(), -20);
    EXPECT_LT(v.powerDb.back(), -20);
  }
}

// A packet found but not decoded has no points: the view says so by empty
// rows, not by figures of noise.
TEST(PacketViewTest, SummaryOfAPacketWithoutPoints) {
  const CVec x = ofdm_frame(6, 1, 0.5, random_psdu(100, 9), 1);
  auto c = check(x, 20e6, Family::Ofdm, false);
  ASSERT_EQ(c.size(), 1u);
  const PacketView v = packet_view(c[0], x.data(), x.size(), 20e6);
  EXPECT_EQ(v.format, "OFDM");
  EXPECT_EQ(v.rateMbps, 6);
  EXPECT_EQ(v.octets, 100u);
  EXPECT_TRUE(v.fcsOk);
  EXPECT_TRUE(v.points.empty());
  EXPECT_TRUE(v.perCarrier.empty());
  EXPECT_FALSE(v.spectrumDb.empty());
}

}  // namespace
}  // namespace tarvio::verify
