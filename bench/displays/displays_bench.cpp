// Cost of the display computations per sample (spectrum of a smooth and of
// an awkward length, CCDF) and of redrawing a long trace with and without
// its block summary: the ratio is what keeps a window of tens of millions of
// samples responsive.
#include <benchmark/benchmark.h>

#include <random>

#include "displays/ccdf.h"
#include "displays/envelope.h"
#include "displays/spectrum.h"

namespace {

tarvio::CVec noise(size_t n) {
  std::mt19937 gen(1);
  std::normal_distribution<double> d;
  tarvio::CVec x(n);
  for (auto& v : x) v = {d(gen), d(gen)};
  return x;
}

// Arg: samples. 1048576 = 2^20; 1048573 is prime.
void BM_magnitude_spectrum(benchmark::State& st) {
  const auto x = noise(size_t(st.range(0)));
  for (auto _ : st) benchmark::DoNotOptimize(tarvio::magnitude_spectrum(x, 1e6));
  st.SetItemsProcessed(st.iterations() * st.range(0));
}
BENCHMARK(BM_magnitude_spectrum)->Arg(1 << 20)->Arg(1048573)->Unit(benchmark::kMillisecond);

void BM_ccdf(benchmark::State& st) {
  const auto x = noise(size_t(st.range(0)));
  for (auto _ : st) benchmark::DoNotOptimize(tarvio::ccdf(x));
  st.SetItemsProcessed(st.iterations() * st.range(0));
}
BENCHMARK(BM_ccdf)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// Arg: 0 sample by sample, 1 through the block summary; 2^22 samples on
// 1000 columns.
void BM_envelope(benchmark::State& st) {
  const size_t n = size_t(1) << 22;
  tarvio::RVec y(n);
  std::mt19937 gen(2);
  std::normal_distribution<double> d;
  for (double& v : y) v = d(gen);
  const tarvio::Trace t = tarvio::uniform_trace("y", std::move(y), 0, 1);
  const tarvio::TraceSummary summary(*t.y);
  for (auto _ : st) benchmark::DoNotOptimize(tarvio::envelope(t, 0, double(n), 1000, st.range(0) ? &summary : nullptr));
  st.SetItemsProcessed(st.iterations() * int64_t(n));
}
BENCHMARK(BM_envelope)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
