// Time of one 802.11b burst: the longest 1 Mbit/s packet at the highest
// oversampling with a short and a very long root-cosine filter, and a typical
// 11 Mbit/s CCK packet.
#include <benchmark/benchmark.h>

#include "dsp/filter_design.h"
#include "dsss/dot11b_frame.h"

namespace {

tarvio::Bits packet_bits(size_t octets) {
  tarvio::Bits b(8 * octets);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(((i * 2654435761u) >> 7) & 1u);
  return b;
}

void run(benchmark::State& st, size_t octets, double rate, double os, double filterSymbols) {
  const tarvio::Bits bits = packet_bits(octets);
  const tarvio::RVec h = tarvio::GenFilterCoeffs(2, filterSymbols, 0.5, os, {});
  for (auto _ : st) {
    tarvio::Frame f =
        tarvio::Dot11b_FRAME(bits, rate, 0, 0, 0, 1, 1, 1, 100, 2, 4 * os, os, 2, 0.5, filterSymbols * os, 0, h);
    benchmark::DoNotOptimize(f.waveform.data());
    st.counters["samples"] = static_cast<double>(f.waveform.size());
  }
}

void BM_Dot11b_1Mbps_2312_OS9_Filter6(benchmark::State& st) { run(st, 2312, 1, 9, 6); }
void BM_Dot11b_1Mbps_2312_OS9_Filter1000(benchmark::State& st) { run(st, 2312, 1, 9, 1000); }
void BM_Dot11b_11Mbps_CCK_1500_OS4(benchmark::State& st) { run(st, 1500, 11, 4, 6); }

BENCHMARK(BM_Dot11b_1Mbps_2312_OS9_Filter6)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Dot11b_1Mbps_2312_OS9_Filter1000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Dot11b_11Mbps_CCK_1500_OS4)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
