// The short-filter direct form sums each output in a fixed order, whatever
// registers the processor offers: y[n] = 0 + h[m-1] x[n-m+1] + ... + h[0] x[n]
// (indices mod N). Checked for exact equality, so that a wider kernel can
// never change a sample's bits.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "dsp/circular_filter.h"

namespace tarvio {
namespace {

CVec ordered_sums(const CVec& x, const RVec& h) {
  const size_t N = x.size(), m = h.size();
  CVec y(N);
  for (size_t n = 0; n < N; ++n) {
    cplx acc(0, 0);
    for (size_t j = m; j-- > 0;) acc += h[j] * x[(n + N * (j / N + 1) - j) % N];
    y[n] = acc;
  }
  return y;
}

class DirectFormSums : public ::testing::TestWithParam<std::tuple<size_t, size_t>> {};

TEST_P(DirectFormSums, EveryOutputIsTheOrderedSum) {
  const auto [N, taps] = GetParam();
  std::mt19937 gen(unsigned(N + taps));
  std::normal_distribution<double> d;
  CVec x(N);
  for (auto& v : x) v = {d(gen), d(gen)};
  RVec h(taps);
  for (auto& v : h) v = d(gen);
  const CVec y = circular_filter(x, h);
  const CVec want = ordered_sums(x, h);
  ASSERT_EQ(y.size(), N);
  for (size_t n = 0; n < N; ++n) ASSERT_EQ(y[n], want[n]) << "N=" << N << " taps=" << taps << " n=" << n;
}

// Row lengths around the 16-output groups and the 2048-output blocks (taps
// no longer than the row; longer ones are folded first).
INSTANTIATE_TEST_SUITE_P(Lengths, DirectFormSums,
                         ::testing::Values(std::make_tuple(1, 1), std::make_tuple(15, 7), std::make_tuple(16, 16),
                                           std::make_tuple(50, 48), std::make_tuple(33, 17), std::make_tuple(2047, 18),
                                           std::make_tuple(2049, 5), std::make_tuple(28771, 18)));

}  // namespace
}  // namespace tarvio
