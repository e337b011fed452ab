// The largest waveform the instrument holds (64 Msamples with the MEM-C
// option), calculated packet by packet with sequence numbering on so that
// every packet is generated, against the floor of writing and reading back a
// packet file of the same size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

#include "control/calculate.h"
#include "control/initialize.h"
#include "control/packet_log.h"
#include "control/windowless_redraw.h"
#include "instrument/packet_file.h"
#include "records/state.h"
#include "runtime/report.h"

namespace {

using tarvio::state;
using Clock = std::chrono::steady_clock;

class QuietReporter : public tarvio::Reporter {
 public:
  void show(const tarvio::Message&) override {}
  std::string ask(const std::string&, const std::string&, const std::vector<std::string>&,
                  const std::string& def) override {
    return def;
  }
};

// Writes `bytes` in 1 MiB blocks and reads them back; returns seconds.
double file_floor(const std::string& path, size_t bytes) {
  std::vector<unsigned char> block(1 << 20, 0x5a);
  const auto t0 = Clock::now();
  {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) throw std::runtime_error("cannot create " + path);
    for (size_t left = bytes; left > 0;) {
      const size_t n = std::min(left, block.size());
      if (std::fwrite(block.data(), 1, n, f.get()) != n) throw std::runtime_error("write failed");
      left -= n;
    }
  }
  {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) throw std::runtime_error("cannot open " + path);
    while (std::fread(block.data(), 1, block.size(), f.get()) > 0) benchmark::DoNotOptimize(block.data());
  }
  const double s = std::chrono::duration<double>(Clock::now() - t0).count();
  std::filesystem::remove(path);
  return s;
}

void BM_Calculate64Msamples(benchmark::State& bs) {
  auto old = tarvio::set_reporter(std::make_shared<QuietReporter>());
  double calc_s = 0, floor_s = 0, samples = 0, packets = 0;
  for (auto _ : bs) {
    tarvio::InitializeAll();
    auto& p = state().parameters;
    // 11 Mbit/s CCK, 1024-byte payload, oversampling 4: 46880 samples per
    // packet; 1365 packets are 63991200 samples, just under 64 M.
    p.numberOfPackets = 1365;
    p.incrSeqCtrl = 1;
    tarvio::update_lengths(p);
    const auto t0 = Clock::now();
    if (!tarvio::Calculate()) throw std::runtime_error("the calculation stopped at a check");
    calc_s = std::chrono::duration<double>(Clock::now() - t0).count();
    bs.SetIterationTime(calc_s);
    samples = static_cast<double>(tarvio::last_packet_log().samples());
    packets = static_cast<double>(tarvio::last_packet_log().packets());
    const std::string file = p.multiFrame.tmpFileName;
    std::filesystem::remove(file);
    std::filesystem::remove(tarvio::packet_file::marker_path(file));
    floor_s = file_floor(file + ".floor", static_cast<size_t>(samples) * tarvio::packet_file::kBytesPerSample);
  }
  tarvio::set_reporter(old);
  bs.counters["packets"] = packets;
  bs.counters["samples"] = samples;
  bs.counters["calc_s"] = calc_s;
  bs.counters["samples_per_s"] = samples / calc_s;
  bs.counters["file_write_read_s"] = floor_s;
  bs.counters["calc_over_floor"] = calc_s / floor_s;
}

BENCHMARK(BM_Calculate64Msamples)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
