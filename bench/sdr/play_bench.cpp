// Samples per second that play pushes into the tests' radio module (which
// takes every sample at once), against a memcpy of the same bytes measured
// in the same run; and, from the same figure, the share of one core a
// looped 40 Msample/s stream costs.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <vector>

#include "files/stored_waveform.h"
#include "instrument/packet_file.h"
#include "sdr/sdr_play.h"

namespace {

constexpr size_t kSamples = size_t(1) << 22;

struct Waveform {
  std::string dir, packets;
  tarvio::PacketSource src;
  double peak = 0;
  Waveform() {
    ::setenv("SOAPY_SDR_PLUGIN_PATH", TARVIO_SOAPY_MODULES, 1);
    dir = (std::filesystem::temp_directory_path() / ("tarvio-play-bench-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(dir);
    std::vector<float> s(2 * kSamples);
    std::mt19937 g(1);
    std::normal_distribution<float> n(0, 0.2f);
    for (float& x : s) x = n(g);
    std::ofstream(dir + "/w.sigmf-data", std::ios::binary)
        .write(reinterpret_cast<const char*>(s.data()), std::streamsize(s.size() * 4));
    std::ofstream(dir + "/w.sigmf-meta") << R"({"global":{"core:datatype":"cf32_le","core:sample_rate":40e6,"core:version":"1.0.0"},"captures":[],"annotations":[]})";
    packets = dir + "/p.bin";
    const auto w = tarvio::copy_stored_waveform(dir + "/w.sigmf-meta", packets, std::numeric_limits<size_t>::max());
    src = {packets, w.samples, 1};
    peak = w.peak;
  }
  ~Waveform() { std::filesystem::remove_all(dir); }
};

Waveform& waveform() {
  static Waveform w;
  return w;
}

void BM_MemcpyFloor(benchmark::State& state) {
  std::vector<char> a(kSamples * 8, 1), b(kSamples * 8);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations() * kSamples));
}
BENCHMARK(BM_MemcpyFloor)->Unit(benchmark::kMillisecond);

// Eight passes of a looped 4 Msample waveform at 40 Msample/s (converted
// once, then sent from memory as a loop is).
void BM_PlayLooped40M(benchmark::State& state) {
  Waveform& w = waveform();
  auto dev = tarvio::sdr::open_device("driver=tarviotest");
  tarvio::sdr::PlayOptions o;
  o.frequency = 2.412e9;
  o.repeat = 8;
  o.format = state.range(0) ? "CS16" : "CF32";
  const std::atomic<bool> stop{false};
  size_t sent = 0;
  for (auto _ : state) sent += tarvio::sdr::play(*dev, w.src, 40e6, w.peak, o, stop).samples;
  state.SetItemsProcessed(int64_t(sent));
  // Seconds of work per second of a 40 Msample/s stream: the core share.
  state.counters["core_share_at_40MSps"] =
      benchmark::Counter(double(sent) / 40e6, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetLabel(o.format);
}
BENCHMARK(BM_PlayLooped40M)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
