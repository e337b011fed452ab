// PN sequences: the published starts, the seed and order rules, and the
// m-sequence properties (period 2^n - 1, balance, two-valued
// autocorrelation) that catch a wrong tap in the table.
#include "mac/pn_generator.h"

#include <gtest/gtest.h>

#include <string>

#include "mac/mac_bits.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

Bits from_text(const std::string& s) {
  Bits b;
  for (char c : s) b.push_back(static_cast<uint8_t>(c - '0'));
  return b;
}

TEST(PNgenerator, Pn9StartAndItsOrderOnAir) {
  const Bits pn = PNgenerator(9, 32);
  EXPECT_EQ(pn, from_text("11111111100000111101111100010111"));
  EXPECT_EQ(ByteSwap(pn), from_text("11111111110000011111101111101000"));
}

TEST(PNgenerator, Pn15IsInvertedAsStandard) {
  EXPECT_EQ(PNgenerator(15, 40), from_text("000000000000000"
                                           "11111111111111"
                                           "0"
                                           "1111111111"));
  // A user inversion cancels the standard one.
  const Bits plain = PNgenerator(15, 30, 1);
  EXPECT_EQ(plain, from_text("111111111111111"
                             "00000000000000"
                             "1"));
}

TEST(PNgenerator, ShortRequestsCutTheSeed) {
  EXPECT_EQ(PNgenerator(9, 5), Bits(5, 1));
  EXPECT_EQ(PNgenerator(9, 0), Bits(1, 1));  // at least one bit
}

TEST(PNgenerator, DefaultsAndClamping) {
  EXPECT_EQ(PNgenerator().size(), 511u);
  EXPECT_EQ(PNgenerator(), PNgenerator(9, 511));
  EXPECT_EQ(PNgenerator(2, 20), PNgenerator(3, 20));
  EXPECT_EQ(PNgenerator(40, 70), PNgenerator(31, 70));
  EXPECT_EQ(PNgenerator(9.5, 70), PNgenerator(9, 70));
  EXPECT_EQ(PNgenerator(7).size(), 127u);
  EXPECT_EQ(PNgenerator(9, 20, 7), PNgenerator(9, 20, 0));  // only 1 inverts
}

TEST(PNgenerator, SeedRules) {
  const std::vector<double> zero{0};
  EXPECT_EQ(PNgenerator(9, 40, 0, zero), PNgenerator(9, 40));
  const Bits one = PNgenerator(9, 40, 0, std::vector<double>{3});
  EXPECT_EQ(Bits(one.begin(), one.begin() + 9), from_text("000000001"));
  EXPECT_EQ(PNgenerator(9, 40, 0, std::vector<double>{1, 0, 1}), PNgenerator(9, 40));
  const std::vector<double> longer{1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1};
  const Bits cut = PNgenerator(9, 40, 0, longer);
  EXPECT_EQ(Bits(cut.begin(), cut.begin() + 9), from_text("101100101"));
  const Bits allzero = PNgenerator(9, 40, 0, std::vector<double>(9, 0.0));
  EXPECT_EQ(allzero, one);
}

TEST(PNgenerator, ByNameNonScalarArgumentsTakeDefaults) {
  auto& reg = Registry::instance();
  const auto v =
      reg.call("PNgenerator", {Value::row(std::vector<double>{1, 2}), Value::row(std::vector<double>{3, 4})});
  EXPECT_EQ(v.at(0).to_bits(), PNgenerator(9, 511));
  EXPECT_EQ(reg.call("PNgenerator", {Value(15.0), Value(40.0)}).at(0).to_bits(), PNgenerator(15, 40));
}

// One period of every order 3..20 is an m-sequence: it repeats after
// exactly 2^n - 1 bits and holds 2^(n-1) ones (2^(n-1) - 1 when inverted).
class MSequence : public ::testing::TestWithParam<int> {};

TEST_P(MSequence, PeriodAndBalance) {
  const int n = GetParam();
  const size_t P = (size_t{1} << n) - 1;
  const Bits s = PNgenerator(n, 2.0 * static_cast<double>(P));
  for (size_t i = 0; i < P; ++i) ASSERT_EQ(s[i], s[i + P]) << "n=" << n << " i=" << i;
  // No shorter period: the period of an LFSR sequence divides P, so check
  // the proper divisors.
  for (size_t d = 1; d < P; ++d) {
    if (P % d) continue;
    bool periodic = true;
    for (size_t i = 0; i + d < 2 * P && periodic; ++i) periodic = s[i] == s[i + d];
    EXPECT_FALSE(periodic) << "n=" << n << " repeats after " << d;
  }
  size_t ones = 0;
  for (size_t i = 0; i < P; ++i) ones += s[i];
  const bool inverted = n == 15;
  EXPECT_EQ(ones, inverted ? (P - 1) / 2 : (P + 1) / 2) << "n=" << n;
}

// Circular autocorrelation of the +-1 sequence: 2^n - 1 at lag 0, -1 at
// every other lag (kept to short periods; the check is quadratic).
class MSequenceCorrelation : public ::testing::TestWithParam<int> {};

TEST_P(MSequenceCorrelation, TwoValuedAutocorrelation) {
  const int n = GetParam();
  const size_t P = (size_t{1} << n) - 1;
  const Bits s = PNgenerator(n, static_cast<double>(P));
  for (size_t lag = 1; lag < P; ++lag) {
    long acc = 0;
    for (size_t i = 0; i < P; ++i) acc += s[i] == s[(i + lag) % P] ? 1 : -1;
    ASSERT_EQ(acc, -1) << "n=" << n << " lag=" << lag;
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, MSequence, ::testing::Range(3, 21));
INSTANTIATE_TEST_SUITE_P(Orders, MSequenceCorrelation, ::testing::Range(3, 13));

TEST(PNgenerator, ZeroSuppressionLimitsZeroRunsOfOrder20) {
  const double len = 1 << 20;
  auto longest_zero_run = [](const Bits& s) {
    size_t run = 0, best = 0;
    for (uint8_t b : s) {
      run = b ? 0 : run + 1;
      best = std::max(best, run);
    }
    return best;
  };
  EXPECT_EQ(longest_zero_run(PNgenerator(20, len)), 19u);  // n-1 for an m-sequence
  EXPECT_EQ(longest_zero_run(PNgenerator(20, len, 0, std::nullopt, 1)), 14u);
  // Only order 20 is affected.
  EXPECT_EQ(PNgenerator(9, 600, 0, std::nullopt, 1), PNgenerator(9, 600));
}

}  // namespace
}  // namespace tarvio
