// Speed of one ERP-PBCC burst: a 1500-octet packet at 33 Mbit/s with
// OverSampling 6 (pre-switch 6, post-switch 4 samples per symbol), framed,
// long preamble, scrambler and encoder on, raised-cosine ramps, root raised
// cosine filter of 12 symbols, 100 us idle interval.
#include <benchmark/benchmark.h>

#include <random>

#include "dsp/filter_design.h"
#include "dsss/clk_struct.h"
#include "dsss/dot11g_frame.h"

namespace {

void BM_Dot11gFrame33Mbps1500Octets(benchmark::State& st) {
  using namespace tarvio;
  std::mt19937 rng(1);
  Bits bits(8 * 1500);
  for (auto& b : bits) b = static_cast<uint8_t>(rng() & 1u);
  const double os = 6, filterTaps = 12, factor = 0.35;
  const RVec coeffs = GenFilterCoeffs(2, filterTaps, factor, os, {});
  size_t samples = 0;
  for (auto _ : st) {
    Frame f = Dot11g_FRAME(bits, kDefaultClkStruct, 33, 1, 0, 0, 1, 1, 1, 100 * 11 * os, 2, 2 * 11 * os, os, 2, factor,
                           filterTaps * os, 0, coeffs);
    samples = f.waveform.size();
    benchmark::DoNotOptimize(f.waveform.data());
  }
  st.counters["samples"] = double(samples);
}
BENCHMARK(BM_Dot11gFrame33Mbps1500Octets)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
