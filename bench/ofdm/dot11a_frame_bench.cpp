// Time to build one 1500-octet OFDM packet waveform at 54 and 6 Mbit/s,
// OverSampling 2, with root-raised-cosine filters of 6 and 1000 symbols; the
// circular filter's cost should barely depend on the filter length.
#include <benchmark/benchmark.h>

#include "dsp/filter_design.h"
#include "ofdm/dot11a_frame.h"

namespace {

using namespace tarvio;

void BM_Dot11aFrame(benchmark::State& st) {
  const double rate = static_cast<double>(st.range(0));
  const double symbols = static_cast<double>(st.range(1));
  const double modulation = rate == 54 ? 4 : 1, encoderRate = rate == 54 ? 0.75 : 0.5;
  const double os = 2;
  Bits bits(8 * 1500);
  for (size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<uint8_t>((i * 2654435761u >> 7) & 1u);
  RVec sub(53, 1.0);
  sub[26] = 0;
  const RVec taps = GenFilterCoeffs(2, symbols, 0.5, os, {});
  size_t samples = 0;
  for (auto _ : st) {
    Frame f = Dot11a_FRAME(1, bits, 0, rate, modulation, encoderRate, 1, 93, 1, sub, os, 0, 4000, 2, 0.5,
                           static_cast<double>(taps.size()), 0, 0, taps);
    samples = f.waveform.size();
    benchmark::DoNotOptimize(f.waveform.data());
  }
  st.counters["samples"] = static_cast<double>(samples);
  st.counters["taps"] = static_cast<double>(taps.size());
}

BENCHMARK(BM_Dot11aFrame)
    ->ArgNames({"Mbps", "filterSymbols"})
    ->Args({54, 6})
    ->Args({54, 1000})
    ->Args({6, 6})
    ->Args({6, 1000})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace
