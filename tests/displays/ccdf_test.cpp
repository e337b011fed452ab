// The CCDF: level axis (20 dB for a constant envelope, 1 % beyond the peak
// otherwise), counts against the definition, the Gaussian references and
// the vertical axis.
#include "displays/ccdf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace tarvio {
namespace {

TEST(Ccdf, ConstantEnvelopeDropsToTheFloorAtZeroDecibels) {
  CVec x(1000);
  for (size_t k = 0; k < x.size(); ++k) x[k] = std::polar(0.7, 0.01 * double(k));
  // Exactly constant power, whatever the rounding of the phase.
  for (cplx& v : x) v = cplx(0.6, 0.8) * (v.real() > 0 ? 1.0 : -1.0);
  const Ccdf c = ccdf(x);
  ASSERT_EQ(c.level_db.size(), 201u);
  EXPECT_EQ(c.level_db.back(), 20);
  EXPECT_EQ(c.percent[0], 100);
  EXPECT_EQ(c.percent[1], 0);
  EXPECT_EQ(c.drawn, 2u);  // 100 % at 0 dB, then down to the floor
  EXPECT_EQ(c.axis_percent, (Limits{0.001, 100}));
  EXPECT_FALSE(c.real_valued);
}

TEST(Ccdf, PeakOf25dBExtendsTheLevelAxisTo25_25dB) {
  // N-1 samples of power 1 and one of power P with P / mean = 10^2.5.
  const double n = 1000, ratio = std::pow(10, 2.5);
  const double p = ratio * (n - 1) / (n - ratio);
  CVec x(size_t(n), cplx(1, 0));
  x[500] = cplx(0, std::sqrt(p));
  const Ccdf c = ccdf(x);
  EXPECT_NEAR(c.level_db.back(), 25.25, 1e-9);
  EXPECT_NEAR(c.level_db[1], 25.25 / 200, 1e-12);
  EXPECT_DOUBLE_EQ(c.percent[200], 0);              // the peak is below the extended end
  EXPECT_DOUBLE_EQ(c.percent[195], 0.1);            // 24.62 dB: only the peak
  EXPECT_EQ(c.axis_percent, (Limits{0.001, 100}));  // smallest non-zero 0.1 %: the floor stays 0.001 %
}

TEST(Ccdf, CountsAreTheSamplesAtOrAboveEachLevel) {
  std::mt19937 gen(7);
  std::normal_distribution<double> g;
  CVec x(20000);
  for (cplx& v : x) v = cplx(g(gen), g(gen));
  const Ccdf c = ccdf(x);
  long double sum = 0;
  for (const cplx& v : x) sum += std::norm(v);
  const double avg = double(sum / (long double)x.size());
  for (size_t i = 0; i < c.level_db.size(); i += 7) {
    size_t count = 0;
    for (const cplx& v : x) count += 10 * std::log10(std::norm(v) / avg) >= c.level_db[i];
    EXPECT_DOUBLE_EQ(c.percent[i], double(count) * 100 / double(x.size())) << "level " << i;
  }
  // Complex Gaussian noise follows its reference.
  for (size_t i : {0u, 20u, 50u}) EXPECT_NEAR(c.percent[i], c.reference[i], 2.0) << "level " << i;
  EXPECT_NEAR(c.reference[0], 100 * std::exp(-1.0), 1e-12);
  // Smallest non-zero share is one sample, below 0.001 %: it sets the floor.
  EXPECT_EQ(c.axis_percent.hi, 100);
  EXPECT_DOUBLE_EQ(c.axis_percent.lo, 100.0 / 20000 < 0.001 ? 100.0 / 20000 : 0.001);
}

TEST(Ccdf, RealSamplesUseTheRealGaussianReferenceAndZeroPowerIsCounted) {
  CVec x = {cplx(1, 0), cplx(-1, 0), cplx(0, 0), cplx(2, 0)};
  const Ccdf c = ccdf(x);
  EXPECT_TRUE(c.real_valued);
  EXPECT_NEAR(c.reference[0], 100 * std::erfc(1 / std::sqrt(2.0)), 1e-12);
  EXPECT_EQ(c.percent[0], 25);  // only the sample of power 4 reaches the mean of 1.5

  const Ccdf zero = ccdf(CVec(3));  // all zero: every sample at the mean
  EXPECT_EQ(zero.percent[0], 100);
  EXPECT_EQ(zero.level_db.back(), 20);
}

TEST(Ccdf, LongWaveformsCountExactlyAsTheDefinitionFromEitherLayout) {
  // Long enough to be counted in several pieces. Components are whole
  // eighths, so every power and the average are exact, many samples share
  // a power, and each count must equal the definition's: the samples whose
  // 10 log10(p / avg) reaches the level.
  const size_t n = size_t(1) << 18;
  std::mt19937 gen(3);
  std::uniform_int_distribution<int> u(-60, 60);
  RVec re(n), im(n);
  for (size_t k = 0; k < n; ++k) re[k] = u(gen) / 8.0, im[k] = u(gen) / 8.0;
  re[5] = 200;  // one peak: the level axis runs beyond 20 dB
  const Ccdf c = ccdf(IqView(re.data(), im.data(), n));
  double sum = 0;
  for (size_t k = 0; k < n; ++k) sum += re[k] * re[k] + im[k] * im[k];
  std::vector<double> expected(c.level_db.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    size_t count = 0;
    for (size_t k = 0; k < n; ++k)
      count += 10 * std::log10((re[k] * re[k] + im[k] * im[k]) / (sum / double(n))) >= c.level_db[i];
    expected[i] = double(count) * 100 / double(n);
  }
  EXPECT_GT(c.level_db.back(), 20);
  EXPECT_EQ(c.percent, expected);
  CVec x(n);
  for (size_t k = 0; k < n; ++k) x[k] = {re[k], im[k]};
  EXPECT_EQ(ccdf(x).percent, c.percent);

  // Without an imaginary row the samples are real-valued.
  const Ccdf real = ccdf(IqView(re.data(), nullptr, n));
  for (size_t k = 0; k < n; ++k) x[k] = {re[k], 0};
  EXPECT_TRUE(real.real_valued);
  EXPECT_EQ(real.percent, ccdf(x).percent);
}

TEST(CcdfFigure, AxesLabelsAndTheDrawnCurve) {
  const CVec x(10, cplx(0.5, 0.5));
  const Figure f = ccdf_figure(x, "T");
  EXPECT_EQ(f.name, "CCDF T");
  const Axes& a = f.axes.at(0);
  EXPECT_EQ(a.xlabel, "dB above Average");
  EXPECT_EQ(a.ylabel, "Frequency of occurence (%)");
  EXPECT_TRUE(a.ylog);
  EXPECT_EQ(a.grid, GridStyle::Dotted);
  EXPECT_EQ(a.x, (Limits{0, 20}));
  ASSERT_EQ(a.traces.size(), 2u);
  EXPECT_EQ(a.traces[0].size(), 2u);
  EXPECT_EQ(a.traces[1].size(), 201u);
  EXPECT_EQ(ccdf_figure({}, "T").axes.at(0).note, "No Data");
  EXPECT_THROW(ccdf({}), std::invalid_argument);
}

// Burst gating keeps the bursts' samples and drops the idle gaps: two
// bursts of a constant envelope between silences give a flat CCDF (every
// sample at the average), where the ungated curve puts them 3 dB above it.
TEST(GatedCcdf, OnlyTheBurstsAreCounted) {
  const double fs = 20e6;
  CVec x(40000, cplx(0));
  for (size_t k = 5000; k < 15000; ++k) x[k] = std::polar(1.0, 0.1 * double(k));
  for (size_t k = 25000; k < 35000; ++k) x[k] = std::polar(1.0, 0.2 * double(k));
  EXPECT_EQ(burst_samples(x, fs).size(), 20000u);
  const Figure gated = gated_ccdf_figure(x, fs, "T"), all = ccdf_figure(x, "T");
  const Trace& g = gated.axes.at(0).traces.at(0);
  EXPECT_EQ(g.label, "Measured in bursts (%)");
  EXPECT_NEAR(g.y->at(1), 0, 1e-9);  // nothing above the average
  const Ccdf u = ccdf(x);
  size_t at3 = 0;
  while (u.level_db[at3] < 2.9) ++at3;
  EXPECT_NEAR(u.percent[at3], 50, 1e-9);  // half the samples, 3 dB above the average with the gaps
  EXPECT_EQ(all.axes.at(0).traces.at(0).label, "Measured (%)");
  const CVec constant(1000, cplx(1, 1));
  EXPECT_EQ(burst_samples(constant, fs).size(), 1000u);  // no idle part: taken whole
}

}  // namespace
}  // namespace tarvio
