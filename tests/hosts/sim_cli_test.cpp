// tarvio-cli's instrument commands (ping, refresh, download) against the
// simulated instrument: exit codes, what the instrument stores and logs, and
// the size, estimate and result lines the user sees.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "instrument/sim_process.h"

using tarvio::testing::SimProcess;
namespace fs = std::filesystem;

namespace {

struct CliResult {
  int code = -1;
  std::string out, err;
};

class SimCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio_simcli_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir / "store");
  }
  void TearDown() override { fs::remove_all(dir); }

  CliResult cli(const std::string& args) const {
    std::string err = (dir / "stderr.txt").string();
    std::string cmd = "'" + std::string(TARVIO_BIN) + "/tarvio-cli' " + args + " 2>'" + err + "' </dev/null";
    CliResult r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = ::pclose(p);
    r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(err);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    return r;
  }
  std::vector<std::string> sim_args(std::vector<std::string> extra) const {
    std::vector<std::string> a = {"--port", "0", "--log", (dir / "log").string(), "--store", (dir / "store").string()};
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  }
  std::string log_text() const {
    std::ifstream f(dir / "log");
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  fs::path dir;
};

bool has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

}  // namespace

TEST_F(SimCli, PingPrintsTheIdentification) {
  SimProcess sim(sim_args({"--model", "KXQ7R2"}));
  CliResult r = cli("ping --address " + sim.address());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.out, "Tarvio,KXQ7R2")) << r.out;
}

TEST_F(SimCli, PingWithoutInstrumentFailsWithTheReason) {
  CliResult r = cli("ping --address 127.0.0.1:1 --timeout 1");
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(has(r.out, "cannot connect")) << r.out;
}

TEST_F(SimCli, BadConnectionOptionsAreUsageErrors) {
  EXPECT_EQ(cli("ping --type USB").code, 2);
  EXPECT_EQ(cli("ping --address a --serial /dev/null").code, 2);
  EXPECT_EQ(cli("ping --timeout soon").code, 2);
}

TEST_F(SimCli, RefreshSendsSettingsOnlyAndPrintsTheReadBack) {
  SimProcess sim(sim_args({"--max-amplitude", "-40"}));
  // The waveform the settings select must be in the instrument: a refresh
  // of a title it does not hold fails with the instrument's error.
  CliResult none = cli("refresh --address " + sim.address());
  EXPECT_EQ(none.code, 1);
  EXPECT_TRUE(has(none.err, "-256,\"File name not found\"")) << none.err;
  ASSERT_EQ(cli("download --address " + sim.address() + " --yes").code, 0);
  CliResult r = cli("refresh --address " + sim.address());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.out, "Amplitude -40 dBm")) << r.out;  // the default -30 dBm, clamped by the instrument
  std::string log = log_text();
  EXPECT_TRUE(has(log, " :source:freq:fix 2412000000Hz"));
  EXPECT_EQ(log.find("MMEMory", log.rfind("*IDN?")), std::string::npos);  // the refresh transfers nothing
}

TEST_F(SimCli, DownloadCalculatesTransfersAndSetsUp) {
  SimProcess sim(sim_args({}));
  CliResult r = cli("download --address " + sim.address() + " --yes");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.err, "estimated transfer time")) << r.err;
  EXPECT_TRUE(has(r.err, "Download Completed")) << r.err;
  // "Waveform WLan: N samples, ..." names the samples the instrument holds.
  auto pos = r.err.find("Waveform WLan: ");
  ASSERT_NE(pos, std::string::npos) << r.err;
  double samples = std::stod(r.err.substr(pos + 15));
  ASSERT_TRUE(fs::exists(dir / "store" / "WLan.wfm"));
  EXPECT_EQ(fs::file_size(dir / "store" / "WLan.wfm"), 4 * samples);
  EXPECT_EQ(fs::file_size(dir / "store" / "WLan.mkr"), samples);
  EXPECT_TRUE(has(log_text(), " :source:rad:arb:wav \"arbi:WLan\" "));
}

TEST_F(SimCli, DownloadToNobodyFailsWithTheDownloadError) {
  CliResult r = cli("download --address 127.0.0.1:1 --timeout 1");
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(has(r.err, "Error Occured During Waveform Download")) << r.err;
}
