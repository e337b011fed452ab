// Circular filtering against a naive direct circular convolution, for short
// and long filters, filters longer than the row, and polyphase upsampling.
#include "dsp/circular_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

#include "dsp/resample.h"

namespace tarvio {
namespace {

CVec random_row(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> d;
  CVec x(n);
  for (auto& v : x) v = {d(gen), d(gen)};
  return x;
}

RVec random_taps(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(-1, 1);
  RVec h(n);
  for (auto& v : h) v = d(gen);
  return h;
}

// y[n] = sum_k h[k] x[(n-k) mod N], straight from the definition.
CVec naive(const CVec& x, const RVec& h) {
  const size_t N = x.size();
  CVec y(N);
  for (size_t n = 0; n < N; ++n)
    for (size_t k = 0; k < h.size(); ++k) y[n] += h[k] * x[(n + N * (k / N + 1) - k) % N];
  return y;
}

double rel_error(const CVec& a, const CVec& b) {
  double num = 0, den = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    num = std::max(num, std::abs(a[i] - b[i]));
    den = std::max(den, std::abs(b[i]));
  }
  return den > 0 ? num / den : num;
}

// Lengths cover the direct form (up to 48 taps), one FFT over the whole row
// (short rows of 2/3/5/7-smooth length), overlap-save in one wrapped block
// (prime lengths) and in many blocks, and filters longer than the row.
class CircularFilter : public ::testing::TestWithParam<std::tuple<size_t, size_t>> {};

TEST_P(CircularFilter, EqualsDirectCircularConvolution) {
  const auto [N, taps] = GetParam();
  const CVec x = random_row(N, static_cast<unsigned>(N * 7 + taps));
  const RVec h = random_taps(taps, static_cast<unsigned>(taps));
  const CVec y = circular_filter(x, h);
  ASSERT_EQ(y.size(), N);
  EXPECT_LT(rel_error(y, naive(x, h)), 1e-12) << "N=" << N << " taps=" << taps;
}

INSTANTIATE_TEST_SUITE_P(Lengths, CircularFilter,
                         ::testing::Values(std::make_tuple(1, 1), std::make_tuple(1, 9), std::make_tuple(5, 1),
                                           std::make_tuple(7, 12), std::make_tuple(40, 48), std::make_tuple(40, 49),
                                           std::make_tuple(60, 60), std::make_tuple(61, 200), std::make_tuple(1000, 12),
                                           std::make_tuple(1000, 48), std::make_tuple(1000, 49),
                                           std::make_tuple(1000, 333), std::make_tuple(1000, 1000),
                                           std::make_tuple(3001, 7001), std::make_tuple(5000, 2047),
                                           std::make_tuple(20000, 9000), std::make_tuple(20000, 3),
                                           std::make_tuple(9000, 9000), std::make_tuple(50000, 300),
                                           std::make_tuple(40000, 3000), std::make_tuple(30011, 9000)));

class UpsampleCircularFilter : public ::testing::TestWithParam<std::tuple<size_t, size_t, size_t>> {};

TEST_P(UpsampleCircularFilter, EqualsFilteringOfTheZeroInsertedRow) {
  const auto [N, L, taps] = GetParam();
  const CVec x = random_row(N, static_cast<unsigned>(N + 31 * L));
  const RVec h = random_taps(taps, static_cast<unsigned>(taps + L));
  const CVec y = upsample_circular_filter(x, L, h);
  ASSERT_EQ(y.size(), N * L);
  EXPECT_LT(rel_error(y, naive(Upsample(x, L), h)), 1e-12) << "N=" << N << " L=" << L << " taps=" << taps;
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, UpsampleCircularFilter,
    ::testing::Values(std::make_tuple(1, 1, 1), std::make_tuple(1, 4, 1), std::make_tuple(1, 3, 10),
                      std::make_tuple(4, 2, 12), std::make_tuple(10, 4, 48), std::make_tuple(10, 4, 60),
                      std::make_tuple(100, 3, 199), std::make_tuple(100, 2, 300), std::make_tuple(2000, 4, 12),
                      std::make_tuple(2000, 4, 500), std::make_tuple(3000, 8, 9000), std::make_tuple(700, 5, 9001),
                      std::make_tuple(5000, 1, 4000), std::make_tuple(20011, 3, 600), std::make_tuple(1009, 2, 400)));

TEST(CircularFilterEdges, EmptyRowAndEmptyTaps) {
  EXPECT_TRUE(circular_filter({}, {1.0, 2.0}).empty());
  const CVec y = circular_filter(random_row(5, 1), {});
  ASSERT_EQ(y.size(), 5u);
  for (const auto& v : y) EXPECT_EQ(v, cplx(0, 0));
  EXPECT_THROW(upsample_circular_filter(random_row(5, 1), 0, {1.0}), std::invalid_argument);
}

}  // namespace
}  // namespace tarvio
