// Speed of the waveform export from the packet file, against a plain copy of
// the same number of bytes done in the same run. The waveform size is
// TARVIO_EXPORT_BENCH_SAMPLES (default 8388608 samples, in packets of
// 100000); run it under /usr/bin/time -v to see that memory does not grow
// with the waveform.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/orv_export.h"
#include "files/waveform_outputs.h"
#include "instrument/packet_file.h"
#include "records/state.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kPacket = 100000;

struct Workspace {
  fs::path dir;
  std::string packets, out, copy_src, copy_dst;
  size_t samples = 0;

  Workspace() {
    const char* env = std::getenv("TARVIO_EXPORT_BENCH_SAMPLES");
    const size_t wanted = env != nullptr ? size_t(std::strtoull(env, nullptr, 10)) : size_t(8388608);
    const size_t num_pkts = std::max<size_t>(1, (wanted + kPacket - 1) / kPacket);
    samples = num_pkts * kPacket;
    dir = fs::temp_directory_path() / ("tarvio_export_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    packets = (dir / "packets.bin").string();
    out = (dir / "bench.wfm").string();
    copy_src = (dir / "copy_src.bin").string();
    copy_dst = (dir / "copy_dst.bin").string();
    tarvio::packet_file::clear(packets);
    std::vector<double> i(kPacket), q(kPacket);
    std::vector<uint8_t> m(kPacket, 0);
    for (size_t p = 0; p < num_pkts; ++p) {
      for (size_t k = 0; k < kPacket; ++k) {
        i[k] = 0.7 * std::sin(0.001 * double(k + p));
        q[k] = 0.7 * std::cos(0.0013 * double(k + 2 * p));
      }
      tarvio::packet_file::append(packets, i.data(), q.data(), kPacket, m.data());
    }
    auto& st = tarvio::state();
    st.parameters.multiFrame.tmpFileName = packets;
    st.parameters.multiFrame.pktSize = double(kPacket);
    st.parameters.numberOfPackets = double(num_pkts);
    st.sigGenSettings.SamplingRate = 44e6;
    st.sigGenSettings.Frequency = 2.412e9;
    st.markers.row1.assign(kPacket, 0);
    st.markers.row2.assign(kPacket, 1);
    // The copy source: as many bytes as the export file will have.
    std::FILE* f = std::fopen(copy_src.c_str(), "wb");
    std::vector<uint8_t> block(1 << 20, 0x5A);
    const uint64_t total = 192 + 13 * uint64_t(samples);
    for (uint64_t left = total; left > 0;) {
      const size_t n = size_t(std::min<uint64_t>(left, block.size()));
      std::fwrite(block.data(), 1, n, f);
      left -= n;
    }
    std::fclose(f);
  }
  ~Workspace() { fs::remove_all(dir); }
};

Workspace& workspace() {
  static Workspace w;
  return w;
}

double plain_copy(const std::string& from, const std::string& to) {
  const auto t0 = Clock::now();
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = std::fopen(to.c_str(), "wb");
  if (in == nullptr || out == nullptr) throw std::runtime_error("bench: cannot copy");
  std::vector<uint8_t> buf(1 << 20);
  size_t n = 0;
  while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0) std::fwrite(buf.data(), 1, n, out);
  std::fclose(in);
  std::fclose(out);
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

void BM_ExportPacketFile(benchmark::State& st) {
  Workspace& w = workspace();
  double export_total = 0, copy_total = 0;
  for (auto _ : st) {
    const auto t0 = Clock::now();
    tarvio::WriteExportFile(w.out);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    st.SetIterationTime(seconds);
    export_total += seconds;
    copy_total += plain_copy(w.copy_src, w.copy_dst);
  }
  st.counters["samples"] = double(w.samples);
  st.counters["export_s"] = benchmark::Counter(export_total, benchmark::Counter::kAvgIterations);
  st.counters["copy_s"] = benchmark::Counter(copy_total, benchmark::Counter::kAvgIterations);
  st.counters["ratio_to_copy"] = export_total / copy_total;
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(fs::file_size(w.out)));
}
BENCHMARK(BM_ExportPacketFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RawFromPacketFile(benchmark::State& st) {
  Workspace& w = workspace();
  for (auto _ : st) tarvio::WriteRawWaveform(w.out + ".raw");
  st.counters["samples"] = double(w.samples);
}
BENCHMARK(BM_RawFromPacketFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
