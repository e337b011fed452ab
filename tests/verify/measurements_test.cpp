// The transmitter measurements on bursts built here with known answers.
#include "verify/measurements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tarvio::verify {
namespace {

// Ramp times come from the burst's median power: a burst whose top cycles
// through the powers 0.7, 1.0 and 1.3 (median 1.0, peak 1.3) and whose
// power rises and falls in straight lines over 100 samples at 11 MHz takes
// 80 samples from 10 % to 90 % either way.
TEST(MeasurementsTest, RampTimesFromTheMedianPower) {
  std::vector<double> power(50, 0.0);
  for (int i = 0; i < 100; ++i) power.push_back((i + 0.5) / 100);
  for (int i = 0; i < 3000; ++i) power.push_back(0.7 + 0.3 * (i % 3));
  for (int i = 0; i < 100; ++i) power.push_back(1 - (i + 0.5) / 100);
  power.insert(power.end(), 50, 0.0);
  CVec x;
  for (double p : power) x.push_back(std::sqrt(p));
  const RampTimes r = measure_ramps(x.data(), x.size(), 11e6);
  ASSERT_TRUE(r.evaluated);
  EXPECT_NEAR(r.onSeconds * 11e6, 80, 1e-9);
  EXPECT_NEAR(r.offSeconds * 11e6, 80, 1e-9);
  // Noise within 20 dB of the burst would cross the 10 % level: the ramps
  // are then not measured (and fail nothing), 25 dB down they are.
  for (const double floorDb : {-15.0, -25.0}) {
    CVec noisy = x;
    const double a = std::pow(10.0, floorDb / 20);
    for (size_t k = 0; k < noisy.size(); ++k) noisy[k] += std::polar(a, 2.0 * static_cast<double>(k * k % 7));
    const RampTimes n = measure_ramps(noisy.data(), noisy.size(), 11e6);
    EXPECT_EQ(n.noisy, floorDb > -20) << floorDb;
    EXPECT_EQ(n.evaluated, floorDb < -20) << floorDb;
  }
}

// The DSSS mask's corners move with the chip rate: a tone 14 MHz from the
// carrier, as strong as the one at it, is 30 dB over the mask of 11 Mchip/s
// (-30 dBr from 11 MHz) and inside that of 16.5 Mchip/s (from 16.5 MHz); at
// 20 MHz it is over both.
TEST(MeasurementsTest, DsssMaskCornersFollowTheChipRate) {
  const double fs = 66e6;
  auto two_tones = [&](double f) {
    CVec x(66000);
    for (size_t i = 0; i < x.size(); ++i)
      x[i] = 1.0 + std::polar(1.0, 2 * std::numbers::pi * f * static_cast<double>(i) / fs);
    return x;
  };
  SpectrumMask slow(fs, MaskKind::Dsss), fast(fs, MaskKind::Dsss, 1.5);
  const CVec at14 = two_tones(14e6), at20 = two_tones(20e6);
  const MaskResult slow14 = slow.check(at14.data(), at14.size()), fast14 = fast.check(at14.data(), at14.size());
  EXPECT_FALSE(slow14.pass);
  EXPECT_NEAR(slow14.worstMarginDb, -30, 0.5);
  EXPECT_NEAR(slow14.worstFreqHz, 14e6, 0.1e6);
  EXPECT_TRUE(fast14.pass);
  EXPECT_FALSE(fast.check(at20.data(), at20.size()).pass);
  // Of the two parts of a burst the worse counts.
  const MaskResult both = worse(fast14, slow14);
  EXPECT_FALSE(both.pass);
  EXPECT_EQ(both.worstMarginDb, slow14.worstMarginDb);
}

// A burst cut off at full power (as the part of a 33 Mbit/s burst before
// its clock switch is) adds no spectrum of its own: a tone of 1.6 DFT
// segments stays more than 50 dB inside the mask far from it.
TEST(MeasurementsTest, ACutBurstAddsNoSpectrum) {
  SpectrumMask mask(44e6, MaskKind::Dsss);
  CVec x(mask.fft_size() * 8 / 5);
  for (size_t i = 0; i < x.size(); ++i)
    x[i] = std::polar(1.0, 2 * std::numbers::pi * 1e6 * static_cast<double>(i) / 44e6);
  const MaskResult r = mask.check(x.data(), x.size());
  ASSERT_TRUE(r.evaluated);
  EXPECT_GT(r.worstMarginDb, 50);
}

// The mask takes any samples: a NaN or an infinity leaves it unmeasured,
// huge values give the margin of the same burst at unit scale, and the
// result says how far the sampled band reaches: not beyond the flat part
// (DSSS at 16.5 MHz), short of the last corner (OFDM at 40 MHz), or all of
// it (OFDM at 80 MHz).
TEST(MeasurementsTest, MaskTakesAnySamplesAndSaysHowFarItLooked) {
  auto tones = [](double fs, double scale, size_t n) {
    CVec x(n);
    for (size_t i = 0; i < n; ++i)
      x[i] = scale * (1.0 + 0.01 * std::polar(1.0, 2 * std::numbers::pi * 7e6 * static_cast<double>(i) / fs));
    return x;
  };
  SpectrumMask ofdm40(40e6, MaskKind::Ofdm);
  const CVec unit = tones(40e6, 1, 20000), huge = tones(40e6, 1e200, 20000);
  const MaskResult r1 = ofdm40.check(unit.data(), unit.size()), r2 = ofdm40.check(huge.data(), huge.size());
  ASSERT_TRUE(r1.evaluated && r2.evaluated);
  EXPECT_NEAR(r2.worstMarginDb, r1.worstMarginDb, 1e-6);
  EXPECT_TRUE(r1.limitedByRate);
  EXPECT_EQ(r1.checkedToHz, 20e6);
  for (double bad : {NAN, INFINITY}) {
    CVec x = unit;
    x[1234] = cplx(0.5, bad);
    EXPECT_FALSE(ofdm40.check(x.data(), x.size()).evaluated) << bad;
  }
  SpectrumMask ofdm80(80e6, MaskKind::Ofdm), dsss16(16.5e6, MaskKind::Dsss);
  const CVec at80 = tones(80e6, 1, 20000), at16 = tones(16.5e6, 1, 20000);
  const MaskResult full = ofdm80.check(at80.data(), at80.size()), narrow = dsss16.check(at16.data(), at16.size());
  EXPECT_TRUE(full.evaluated && !full.limitedByRate);
  EXPECT_FALSE(narrow.evaluated);
  EXPECT_TRUE(narrow.bandTooNarrow);
  EXPECT_EQ(narrow.checkedToHz, 8.25e6);
}

}  // namespace
}  // namespace tarvio::verify
