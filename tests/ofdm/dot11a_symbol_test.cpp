// OFDM symbol construction: constellation tables, prefix, windowing and
// overlap-add, the training fields' structure, oversampling, the sub-carrier
// mask, sinc pre-compensation, and a receiver-style check that the DFT of
// every DATA symbol gives back its mapped values and pilots.
#include "ofdm/dot11a_symbol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "dsp/resample.h"
#include "ofdm/dot11a_carrier_mapping.h"
#include "ofdm/dot11a_data.h"
#include "ofdm/dot11a_interleave.h"
#include "ofdm/dot11a_mapping.h"
#include "ofdm/dot11a_pilot.h"
#include "ofdm/dot11a_time_domain.h"
#include "ofdm/dot11a_training.h"

namespace tarvio {
namespace {

RVec mask64(int cleared = 99) {
  RVec m(53, 1.0);
  m[26] = 0;
  if (cleared != 99) m[static_cast<size_t>(26 + cleared)] = 0;
  return Dot11a_CarrierMapping(m, 1);
}

// Forward DFT (no scaling) of x[from .. from+n).
CVec dft(const CVec& x, size_t from, size_t n) {
  CVec X(n);
  for (size_t k = 0; k < n; ++k) {
    cplx acc = 0;
    for (size_t t = 0; t < n; ++t)
      acc += x[from + t] *
             std::polar(1.0, -2 * std::numbers::pi * static_cast<double>(k * t % n) / static_cast<double>(n));
    X[k] = acc;
  }
  return X;
}

// Bin of sub-carrier sc in an n-point DFT.
size_t bin(int sc, size_t n) { return sc >= 0 ? static_cast<size_t>(sc) : n - static_cast<size_t>(-sc); }

TEST(Dot11aMapping, GrayTablesOfTheStandard) {
  // IEEE 802.11a Tables 84 and 85: I levels of b0 b1 (16-QAM), b0 b1 b2 (64-QAM).
  const char* q16[4] = {"00", "01", "11", "10"};
  const double l16[4] = {-3, -1, 1, 3};
  for (int i = 0; i < 4; ++i) {
    Bits b = {uint8_t(q16[i][0] - '0'), uint8_t(q16[i][1] - '0'), 0, 0};
    EXPECT_NEAR(Dot11a_ConvertToIQ(b, "QAM16")[0].real() * std::sqrt(10.0), l16[i], 1e-12);
  }
  const char* q64[8] = {"000", "001", "011", "010", "110", "111", "101", "100"};
  for (int i = 0; i < 8; ++i) {
    Bits b = {0, 0, 0, uint8_t(q64[i][0] - '0'), uint8_t(q64[i][1] - '0'), uint8_t(q64[i][2] - '0')};
    EXPECT_NEAR(Dot11a_ConvertToIQ(b, "QAM64")[0].imag() * std::sqrt(42.0), -7 + 2 * i, 1e-12) << q64[i];
  }
  const CVec v = Dot11a_ConvertToIQ({1, 0, 0, 1, 0, 0}, "QAM64");
  EXPECT_NEAR(std::abs(v[0] - cplx(7, 7) / std::sqrt(42.0)), 0, 1e-12);
  EXPECT_EQ(Dot11a_ConvertToIQ({0, 1}, "BPSK"), CVec({cplx(-1, 0), cplx(1, 0)}));
  EXPECT_THROW(Dot11a_ConvertToIQ({0, 1, 1}, "QPSK"), std::invalid_argument);
  EXPECT_THROW(Dot11a_ConvertToIQ({0, 1}, "8PSK"), std::invalid_argument);
}

TEST(Dot11aMapping, EveryConstellationHasUnitAveragePower) {
  const std::pair<const char*, int> formats[] = {{"BPSK", 1}, {"QPSK", 2}, {"QAM16", 4}, {"QAM64", 6}};
  for (const auto& [name, nb] : formats) {
    Bits all;
    for (unsigned v = 0; v < (1u << nb); ++v)
      for (int k = 0; k < nb; ++k) all.push_back((v >> k) & 1u);
    double p = 0;
    for (cplx x : Dot11a_ConvertToIQ(all, name)) p += std::norm(x);
    EXPECT_NEAR(p / (1u << nb), 1.0, 1e-12) << name;
  }
}

TEST(Dot11aTimeDomain, PrefixWindowAndOverlapAdd) {
  CVec x(64);
  for (size_t i = 0; i < 64; ++i) x[i] = cplx(double(i), -double(i));
  const CVec p = Dot11a_CyclicPrefix(x, 0.25);
  ASSERT_EQ(p.size(), 80u);
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(p[i], x[48 + i]);

  const CVec w = Dot11a_Windowing(p, 4, 0.25);
  ASSERT_EQ(w.size(), 84u);
  for (size_t i = 1; i <= 4; ++i) {
    const double wi = 0.5 - 0.5 * std::cos(std::numbers::pi * (i - 0.5) / 4);
    EXPECT_NEAR(std::abs(w[i - 1] - p[i - 1] * wi), 0, 1e-12);
    EXPECT_NEAR(std::abs(w[84 - i] - x[4 - i] * wi), 0, 1e-12);  // repeats the samples after the prefix
  }
  for (size_t i = 4; i < 80; ++i) EXPECT_EQ(w[i], p[i]);
  // The overlapping edges of two windowed symbols add up to the unwindowed
  // continuation: w(i) + w(W + 1 - i) = 1.
  for (size_t i = 1; i <= 4; ++i) {
    const double a = 0.5 - 0.5 * std::cos(std::numbers::pi * (i - 0.5) / 4);
    const double b = 0.5 - 0.5 * std::cos(std::numbers::pi * (4 - i + 0.5) / 4);
    EXPECT_NEAR(a + b, 1.0, 1e-12);
  }
  EXPECT_EQ(Dot11a_Windowing(p, 0, 0.25), p);

  const CVec s = Dot11a_StitchSubFrames(w, w, 4);
  ASSERT_EQ(s.size(), 164u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(s[80 + i], w[80 + i] + w[i]);
  EXPECT_EQ(Dot11a_StitchSubFrames({}, w, 4), w);
  EXPECT_THROW(Dot11a_StitchSubFrames(w, CVec(3), 4), std::invalid_argument);
}

TEST(Dot11aTrainingFields, LengthsAndPeriodicity) {
  for (double os : {1.0, 2.0, 5.0}) {
    const size_t n = 64 * static_cast<size_t>(os);
    const CVec sh = Dot11a_ShortSeq(os, 0, mask64(), 0);
    const CVec lo = Dot11a_LongSeq(os, 0, mask64(), 0);
    ASSERT_EQ(sh.size(), 5 * n / 2);
    ASSERT_EQ(lo.size(), 5 * n / 2);
    // Ten short symbols of 0.8 us each.
    for (size_t i = n / 4; i < sh.size(); ++i) ASSERT_NEAR(std::abs(sh[i] - sh[i - n / 4]), 0, 1e-12);
    // Guard of 1.6 us = the second half of the long symbol, then two long symbols.
    for (size_t i = 0; i < n / 2; ++i) ASSERT_NEAR(std::abs(lo[i] - lo[n + i]), 0, 1e-12);
    for (size_t i = 0; i < n; ++i) ASSERT_NEAR(std::abs(lo[n / 2 + i] - lo[n / 2 + n + i]), 0, 1e-12);
    EXPECT_EQ(Dot11a_SYNC(os, 4, mask64(), 0).size(), 5 * n + 4);  // 320 * OS + W
    // The long symbol carries L(k) on its sub-carriers.
    const CVec X = dft(lo, n / 2, n);
    const CVec& L = dot11a_long_sequence();
    for (int sc = -26; sc <= 26; ++sc)
      ASSERT_NEAR(std::abs(X[bin(sc, n)] - L[static_cast<size_t>(sc + 26)]), 0, 1e-9) << sc;
  }
}

TEST(Dot11aSymbol, OversamplingLeavesTheMiddleBinsEmpty) {
  CVec d(48);
  for (size_t i = 0; i < 48; ++i) d[i] = cplx(i % 2 ? 1 : -1, 0);
  const CVec s = Dot11a_SymbolBuild(d, 1, 2, 0, mask64(), 0);
  ASSERT_EQ(s.size(), 160u);
  const CVec X = dft(s, 32, 128);
  for (size_t k = 27; k <= 101; ++k) EXPECT_NEAR(std::abs(X[k]), 0, 1e-9) << k;  // guard band and zero insertion
  EXPECT_NEAR(std::abs(X[0]), 0, 1e-9);
  EXPECT_NEAR(std::abs(X[bin(-26, 128)] - d[0]), 0, 1e-9);
  EXPECT_NEAR(std::abs(X[26] - d[47]), 0, 1e-9);
}

TEST(Dot11aSymbol, ClearedSubcarrierCarriesNothing) {
  CVec d(48, cplx(1, 0));
  const CVec s = Dot11a_SymbolBuild(d, 1, 1, 0, mask64(7), 0);
  const CVec X = dft(s, 16, 64);
  EXPECT_NEAR(std::abs(X[7]), 0, 1e-12);         // the pilot on +7 is gone
  EXPECT_NEAR(std::abs(X[21] + 1.0), 0, 1e-12);  // the other pilots stay
  const CVec lo = Dot11a_LongSeq(1, 0, mask64(7), 0);
  EXPECT_NEAR(std::abs(dft(lo, 32, 64)[7]), 0, 1e-12);
  // +8 is one of the short sequence's carriers.
  const CVec full = dft(Dot11a_ShortSeq(1, 0, mask64(), 0), 0, 64);
  const CVec cut = dft(Dot11a_ShortSeq(1, 0, mask64(8), 0), 0, 64);
  EXPECT_GT(std::abs(full[8]), 1.0);
  EXPECT_NEAR(std::abs(cut[8]), 0, 1e-12);
  EXPECT_NEAR(std::abs(cut[4] - full[4]), 0, 1e-12);
}

TEST(Dot11aSymbol, SincCompensationDividesEachBinByItsWeight) {
  CVec d(48, cplx(0, 1));
  const CVec plain = Dot11a_SymbolBuild(d, -1, 2, 0, mask64(), 0);
  const CVec comp = Dot11a_SymbolBuild(d, -1, 2, 0, mask64(), 1);
  const CVec P = dft(plain, 32, 128), C = dft(comp, 32, 128);
  // Same weights as the oversampler applies to a spectrum.
  const CVec w = Dot11a_Oversample(CVec(64, cplx(1, 0)), 2, 1, 1);
  for (size_t k = 0; k < 128; ++k) EXPECT_NEAR(std::abs(C[k] - P[k] * w[k]), 0, 1e-9) << k;
  EXPECT_NEAR(w[26].real(), 1.0 / Sinc(26.0 / 65.0), 1e-12);
}

TEST(Dot11aSymbol, WithoutWindowingSymbolsAreConcatenated) {
  const Bits user(8 * 40, 1);
  const CVec data = Dot11a_DATA(1, user, 0, 12, 2, 0.5, 0, 93, 1, 3, 0, mask64(), 0);
  const Dot11aDataBits bits = dot11a_data_bits(1, user, 0, 2, 0.5, 0, 93);
  ASSERT_EQ(data.size(), bits.nsym * 240);
  for (size_t i = 0; i < bits.nsym; ++i) {
    const Bits block(bits.coded.begin() + static_cast<std::ptrdiff_t>(i * 96),
                     bits.coded.begin() + static_cast<std::ptrdiff_t>((i + 1) * 96));
    const CVec sym = Dot11a_SymbolBuild(Dot11a_ConvertToIQ(Dot11a_Interleave(block), "QPSK"),
                                        Dot11a_Pilot(double(i + 1)), 3, 0, mask64(), 0);
    for (size_t t = 0; t < 240; ++t) ASSERT_EQ(data[i * 240 + t], sym[t]) << i << " " << t;
  }
}

// Receiver: strip the prefix of each DATA symbol, take its DFT and compare the
// data and pilot carriers with the mapped, interleaved coded bits.
class Receiver : public ::testing::TestWithParam<std::tuple<double, double, double>> {};
TEST_P(Receiver, DftOfEachSymbolRecoversConstellationAndPilots) {
  const auto [modulation, rate, os_d] = GetParam();
  const size_t os = static_cast<size_t>(os_d), n = 64 * os;
  Bits user(8 * 60);
  for (size_t i = 0; i < user.size(); ++i) user[i] = static_cast<uint8_t>((i * 13 + i / 5) % 3 == 0);
  const CVec data = Dot11a_DATA(1, user, 0, 0, modulation, rate, 1, 93, 1, os_d, 0, mask64(), 0);
  const Dot11aDataBits bits = dot11a_data_bits(1, user, 0, modulation, rate, 1, 93);
  ASSERT_EQ(data.size(), bits.nsym * 80 * os);
  const size_t* pos = dot11a_data_carrier_positions();
  for (size_t i = 0; i < bits.nsym; ++i) {
    const CVec X = dft(data, i * 80 * os + 16 * os, n);
    const Bits block(bits.coded.begin() + static_cast<std::ptrdiff_t>(i * bits.ncbps),
                     bits.coded.begin() + static_cast<std::ptrdiff_t>((i + 1) * bits.ncbps));
    const CVec want = Dot11a_ConvertToIQ(Dot11a_Interleave(block), dot11a_format_name(modulation));
    for (size_t m = 0; m < 48; ++m)
      ASSERT_NEAR(std::abs(X[bin(static_cast<int>(pos[m]) - 26, n)] - want[m]), 0, 1e-9) << "symbol " << i;
    const double p = Dot11a_Pilot(double(i + 1));
    EXPECT_NEAR(std::abs(X[bin(-21, n)] - p), 0, 1e-9);
    EXPECT_NEAR(std::abs(X[bin(-7, n)] - p), 0, 1e-9);
    EXPECT_NEAR(std::abs(X[bin(7, n)] - p), 0, 1e-9);
    EXPECT_NEAR(std::abs(X[bin(21, n)] + p), 0, 1e-9);
  }
}
INSTANTIATE_TEST_SUITE_P(Modulations, Receiver,
                         ::testing::Values(std::make_tuple(1.0, 0.5, 1.0), std::make_tuple(2.0, 0.75, 2.0),
                                           std::make_tuple(3.0, 0.5, 1.0), std::make_tuple(4.0, 2.0 / 3.0, 3.0)));

TEST(Dot11aCarrierMapping, MethodsAndOversampling) {
  CVec d(53);
  for (size_t i = 0; i < 53; ++i) d[i] = cplx(double(i) - 26, 0);
  const CVec m1 = Dot11a_CarrierMapping(d, 1);
  EXPECT_EQ(m1[0], cplx(0, 0));
  EXPECT_EQ(m1[26], cplx(26, 0));
  EXPECT_EQ(m1[38], cplx(-26, 0));
  EXPECT_EQ(m1[63], cplx(-1, 0));
  const CVec m0 = Dot11a_CarrierMapping(d, 0);
  EXPECT_EQ(m0[6], cplx(-26, 0));
  EXPECT_EQ(m0[58], cplx(26, 0));
  EXPECT_THROW(Dot11a_CarrierMapping(d, 2), std::invalid_argument);
  const CVec o2 = Dot11a_Oversample(m1, 3, 0, 2);
  ASSERT_EQ(o2.size(), 192u);
  EXPECT_EQ(o2[63], cplx(-1, 0));
  const CVec o1 = Dot11a_Oversample(m1, 3, 0, 1);
  EXPECT_EQ(o1[191], cplx(-1, 0));
  EXPECT_EQ(o1[31], m1[31]);
  EXPECT_EQ(o1[32], cplx(0, 0));
}

}  // namespace
}  // namespace tarvio
