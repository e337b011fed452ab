// Speed of the capture analysis (burst scan, resampling, decoding on every
// core) in analysed samples per second, against the file-read floor: the
// same capture read block by block through the same reader in the same
// run. The capture is a 30.72 MHz cf32 file of OFDM packets in noise of
// TARVIO_ANALYZE_BENCH_SAMPLES samples (default 8388608, 64 MB); run it
// under /usr/bin/time -v to see that memory does not grow with it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "analyze/analyzer.h"
#include "analyze/capture_resampler.h"

namespace {

namespace fs = std::filesystem;
using tarvio::cplx;
using tarvio::CVec;

struct Workspace {
  fs::path dir;
  std::string capture;
  size_t samples = 0;

  Workspace() {
    const char* env = std::getenv("TARVIO_ANALYZE_BENCH_SAMPLES");
    const size_t wanted = env != nullptr ? size_t(std::strtoull(env, nullptr, 10)) : size_t(8388608);
    dir = fs::temp_directory_path() / ("tarvio_analyze_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string cmd = "cd '" + dir.string() + "' && '" + std::string(TARVIO_BIN) +
                            "/tarvio-cli' calc --rate 24 --set OverSampling=2 --set numberOfPackets=4 "
                            "--set dataLength=500 --sigmf rec --quiet";
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("cannot make the waveform: " + cmd);
    std::ifstream in(dir / "rec.sigmf-data", std::ios::binary);
    CVec x;
    for (float v[2]; in.read(reinterpret_cast<char*>(v), 8);) x.emplace_back(v[0], v[1]);
    CVec y;
    tarvio::analyze::CaptureResampler(40e6, 30.72e6).run(x, y);
    capture = (dir / "capture.cf32").string();
    std::ofstream out(capture, std::ios::binary);
    std::mt19937 gen(1);
    std::normal_distribution<float> g(0, 0.003f);
    std::vector<float> buf;
    while (samples < wanted) {
      buf.clear();
      for (const cplx& v : y) {
        buf.push_back(static_cast<float>(v.real()) + g(gen));
        buf.push_back(static_cast<float>(v.imag()) + g(gen));
      }
      out.write(reinterpret_cast<const char*>(buf.data()), static_cast<long>(4 * buf.size()));
      samples += y.size();
    }
  }
  ~Workspace() { fs::remove_all(dir); }
};

Workspace& workspace() {
  static Workspace w;
  return w;
}

using tarvio::analyze::CaptureSource;
using tarvio::analyze::SampleFormat;

void BM_ReadFloor(benchmark::State& state) {
  Workspace& w = workspace();
  const CaptureSource src(w.capture, 30.72e6, SampleFormat::Cf32);
  CVec block;
  for (auto _ : state) {
    double sum = 0;
    for (size_t at = 0; at < src.size(); at += 1 << 20) {
      src.read(at, 1 << 20, block);
      sum += block.front().real();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["samples/s"] =
      benchmark::Counter(static_cast<double>(src.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

// The burst scan alone (two passes over the capture), the analysis's
// part that reads every sample.
void BM_Scan(benchmark::State& state) {
  Workspace& w = workspace();
  const CaptureSource src(w.capture, 30.72e6, SampleFormat::Cf32);
  size_t bursts = 0;
  for (auto _ : state) bursts = tarvio::analyze::scan_bursts(src).bursts.size();
  state.counters["samples/s"] =
      benchmark::Counter(static_cast<double>(src.size()), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bursts"] = static_cast<double>(bursts);
}
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Analyze(benchmark::State& state) {
  Workspace& w = workspace();
  const CaptureSource src(w.capture, 30.72e6, SampleFormat::Cf32);
  tarvio::analyze::AnalyzeOptions o;
  o.threads = static_cast<unsigned>(state.range(0));
  size_t packets = 0;
  for (auto _ : state) packets = tarvio::analyze::analyze_capture(src, o).packets.size();
  state.counters["samples/s"] =
      benchmark::Counter(static_cast<double>(src.size()), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["packets"] = static_cast<double>(packets);
}
BENCHMARK(BM_Analyze)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
