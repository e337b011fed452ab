// Cost of circular filtering and of upsampling with circular filtering
// against frame length and number of taps (12, 48 and 9000 taps).
#include <benchmark/benchmark.h>

#include <random>

#include "dsp/circular_filter.h"

namespace {

tarvio::CVec random_row(size_t n) {
  std::mt19937 gen(1);
  std::normal_distribution<double> d;
  tarvio::CVec x(n);
  for (auto& v : x) v = {d(gen), d(gen)};
  return x;
}

tarvio::RVec random_taps(size_t n) {
  std::mt19937 gen(2);
  std::uniform_real_distribution<double> d(-1, 1);
  tarvio::RVec h(n);
  for (auto& v : h) v = d(gen);
  return h;
}

// Args: frame length (output samples), taps.
void BM_circular_filter(benchmark::State& st) {
  const auto x = random_row(static_cast<size_t>(st.range(0)));
  const auto h = random_taps(static_cast<size_t>(st.range(1)));
  for (auto _ : st) benchmark::DoNotOptimize(tarvio::circular_filter(x, h));
  st.SetItemsProcessed(st.iterations() * st.range(0));
}

// Args: frame length (output samples), taps; upsampling by 4.
void BM_upsample_circular_filter(benchmark::State& st) {
  const size_t L = 4;
  const auto x = random_row(static_cast<size_t>(st.range(0)) / L);
  const auto h = random_taps(static_cast<size_t>(st.range(1)));
  for (auto _ : st) benchmark::DoNotOptimize(tarvio::upsample_circular_filter(x, L, h));
  st.SetItemsProcessed(st.iterations() * st.range(0));
}

void frame_and_taps(benchmark::internal::Benchmark* b) {
  for (long n : {10000L, 100000L, 1000000L, 2000000L})
    for (long taps : {12L, 48L, 9000L}) b->Args({n, taps});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_circular_filter)->Apply(frame_and_taps);
BENCHMARK(BM_upsample_circular_filter)->Apply(frame_and_taps);

}  // namespace
