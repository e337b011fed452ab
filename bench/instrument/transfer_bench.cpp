// Waveform transfer speed: about 64 Msamples (64 packets of 1000000) from the
// packet file to the simulated instrument over loopback, through the
// transport module's code 9. Reports seconds, MB/s of the wire data (4 bytes
// per sample plus 1 marker byte) and the process's peak resident memory.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "instrument/hwio.h"
#include "instrument/packet_file.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace tarvio;

constexpr size_t kPacket = 1000000, kPackets = 64;

// tarvio-sim from the folder this program was built into; it answers on a
// free loopback port and keeps nothing (no store, no log).
struct Sim {
  pid_t pid = -1;
  int port = 0;
  Sim() {
    std::string exe = fs::read_symlink("/proc/self/exe").parent_path() / "tarvio-sim";
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    char a0[] = "tarvio-sim", a1[] = "--port", a2[] = "0";
    char* argv[] = {a0, a1, a2, nullptr};
    if (posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv, environ) != 0) throw std::runtime_error("spawn " + exe);
    posix_spawn_file_actions_destroy(&fa);
    ::close(fds[1]);
    std::string line;
    char c;
    pollfd p{fds[0], POLLIN, 0};
    while (::poll(&p, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(fds[0]);
    if (line.rfind("PORT ", 0) != 0) throw std::runtime_error("tarvio-sim did not start");
    port = std::stoi(line.substr(5));
  }
  ~Sim() {
    ::kill(pid, SIGTERM);
    int st;
    ::waitpid(pid, &st, 0);
  }
};

void BM_TransferPacketFile64M(benchmark::State& state) {
  const std::string path =
      (fs::temp_directory_path() / ("tarvio_bench_" + std::to_string(::getpid()) + ".bin")).string();
  packet_file::clear(path);
  std::vector<double> i(kPacket), q(kPacket);
  std::vector<uint8_t> m(kPacket);
  double peak = 0;
  for (size_t k = 0; k < kPackets; ++k) {
    for (size_t s = 0; s < kPacket; ++s) {
      i[s] = std::sin(0.001 * s + k);
      q[s] = std::cos(0.0013 * s);
      m[s] = static_cast<uint8_t>(s < 100 ? 3 : 0);
    }
    peak = std::max(peak, packet_file::append(path, i.data(), q.data(), kPacket, m.data()));
  }
  i = {};
  q = {};
  m = {};
  Sim sim;
  Record cfg;
  cfg.set("type", Value("TCPIP"));
  Record tcp;
  tcp.set("address", Value("127.0.0.1:" + std::to_string(sim.port)));
  cfg.set("TCPIP", Value(tcp));
  cfg.set("timeout", Value(30.0));
  const double wire_bytes = 5.0 * kPacket * kPackets;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    auto r = hwio::call(9, {Value(cfg), Value(path), Value(double(kPacket)), Value(double(kPackets)), Value(2.0),
                            Value(peak), Value("norm"), Value(1.0), Value("BENCH")});
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (r[0].to_double() != 0) state.SkipWithError(r[1].str().c_str());
    state.SetIterationTime(s);
    state.counters["seconds"] = s;
    state.counters["MB_per_s"] = wire_bytes / 1e6 / s;
  }
  rusage ru{};
  ::getrusage(RUSAGE_SELF, &ru);
  state.counters["peak_rss_MB"] = ru.ru_maxrss / 1024.0;
  state.counters["samples"] = double(kPacket * kPackets);
  fs::remove(path);
  fs::remove(packet_file::marker_path(path));
}
BENCHMARK(BM_TransferPacketFile64M)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
