// What calc --verify adds to a job, as a ratio to the calculation itself in
// the same run: each job is run as a user runs it (tarvio-cli calc ...) with
// and without --verify, interleaved, three times each, and the fastest of
// each is kept. verify_cpu_over_calc is the goal figure (at most 1): the
// CPU seconds (user + system) the verification adds over those of the
// calculation; verify_wall_over_calc the same for the elapsed time, which
// a loaded machine spoils more.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Job {
  const char* name;
  std::vector<std::string> args;  // after "calc"
};

const Job kJobs[] = {
    // The largest OFDM job an instrument holds: about 57 Msamples.
    {"ofdm54_os3_2000x2300",
     {"--rate", "54", "--set", "OverSampling=3", "--set", "dataLength=2300", "--set", "numberOfPackets=2000"}},
    // 11 Mbit/s CCK, 1365 packets of 1024 octets at OverSampling 4: 64 Msamples.
    {"cck11_os4_1365x1024",
     {"--rate", "11", "--set", "OverSampling=4", "--set", "dataLength=1024", "--set", "numberOfPackets=1365"}},
};

struct Times {
  double wall = 1e300, cpu = 1e300;
};

// Runs the command with its output thrown away; keeps the fastest times.
void run_cli(const std::vector<std::string>& args, Times& best) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  const auto t0 = Clock::now();
  pid_t pid = 0;
  const int err = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (err != 0) throw std::runtime_error("cannot start " + args[0]);
  int status = 0;
  rusage ru{};
  if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("the job failed (a packet that does not verify fails it too)");
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu =
      double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + 1e-6 * double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
  best.wall = std::min(best.wall, wall);
  best.cpu = std::min(best.cpu, cpu);
}

void BM_VerifyAgainstCalc(benchmark::State& bs, const Job& job) {
  const fs::path dir = fs::temp_directory_path() / ("tarvio-verify-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::vector<std::string> calc = {std::string(TARVIO_BIN) + "/tarvio-cli", "calc"};
  calc.insert(calc.end(), job.args.begin(), job.args.end());
  calc.insert(calc.end(), {"--set", "multiFrame.tmpFileName=" + (dir / "packets.bin").string()});
  std::vector<std::string> verified = calc;
  verified.push_back("--verify");
  Times plain, both;
  for (auto _ : bs) {
    for (int rep = 0; rep < 3; ++rep) {
      run_cli(calc, plain);
      run_cli(verified, both);
    }
    bs.SetIterationTime(both.wall);
  }
  fs::remove_all(dir);
  bs.counters["calc_cpu_s"] = plain.cpu;
  bs.counters["verify_cpu_s"] = both.cpu - plain.cpu;
  bs.counters["verify_cpu_over_calc"] = (both.cpu - plain.cpu) / plain.cpu;
  bs.counters["verify_wall_over_calc"] = (both.wall - plain.wall) / plain.wall;
}

const bool registered = [] {
  for (const Job& job : kJobs)
    benchmark::RegisterBenchmark(job.name, [&job](benchmark::State& s) { BM_VerifyAgainstCalc(s, job); })
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
  return true;
}();

}  // namespace
