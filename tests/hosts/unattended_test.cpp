// tarvio-unattended against the simulated instrument: in a folder prepared
// with WLAN_varsB.mat, WLAN_varsB.txt and an rfIOConfig.mat naming the
// simulator, it leaves there the waveform tarvio-cli calc makes from the
// same parameter set, after the transfer and playback commands in order;
// a rate outside the list stops it before anything is sent.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "control/initialize.h"
#include "control/parameter_files.h"
#include "instrument/kor_play.h"
#include "instrument/sim_process.h"
#include "records/defaults.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/matfile.h"

namespace tarvio {
namespace {

namespace fs = std::filesystem;
using testing::SimProcess;

struct ProgramRun {
  int code = -1;
  std::string err;
};

std::string read_file(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

class UnattendedHost : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio_unattended_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "store");
    fs::create_directories(dir / "tmp");
  }
  void TearDown() override { fs::remove_all(dir); }

  // Nothing the programs left in their temporary folder (their packet files).
  bool temporary_folder_empty() const { return fs::is_empty(dir / "tmp"); }
  // The three files, the parameter file from the defaults as the window
  // saves it.
  void prepare(const std::string& numbers, const std::string& address) {
    InitializeAll();
    ASSERT_TRUE(saveParameters((dir / "WLAN_varsB.mat").string(), state().parameters, state().sigGenSettings));
    Configuration c = DefaultConfiguration();
    c.type = "TCPIP";
    c.TCPIP.address = address;
    mat_write((dir / "rfIOConfig.mat").string(), {{"fileParameters", to_value(c)}});
    std::ofstream(dir / "WLAN_varsB.txt") << numbers << "\n";
  }
  ProgramRun run(const std::string& command) const {
    const std::string err = (dir / "stderr.txt").string();
    const std::string cmd = "cd '" + dir.string() + "' && TMPDIR='" + (dir / "tmp").string() + "' " + command + " 2>'" +
                            err + "' >/dev/null </dev/null";
    ProgramRun r;
    const int st = std::system(cmd.c_str());
    r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = read_file(err);
    return r;
  }
  std::vector<std::string> sim_args() const {
    return {"--port", "0", "--log", (dir / "sim.log").string(), "--store", (dir / "store").string()};
  }
  std::vector<std::string> log_lines() const {
    std::vector<std::string> lines;
    std::istringstream in(read_file(dir / "sim.log"));
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  fs::path dir;
};

std::string bin(const char* program) { return "'" + std::string(TARVIO_BIN) + "/" + program + "'"; }

// The waveform as the instrument stores it: every component divided by the
// peak, times 32767, rounded half away from zero, big-endian 16-bit, I then Q.
std::string stored_form(const CVec& w) {
  double peak = 0;
  for (const cplx& v : w) peak = std::max({peak, std::fabs(v.real()), std::fabs(v.imag())});
  std::string b;
  for (const cplx& v : w)
    for (double c : {v.real(), v.imag()}) {
      const uint16_t u = static_cast<uint16_t>(static_cast<int16_t>(std::lround(c / peak * 32767)));
      b.push_back(static_cast<char>(u >> 8));
      b.push_back(static_cast<char>(u & 0xff));
    }
  return b;
}

TEST_F(UnattendedHost, PlaysTheWaveformCalcMakesFromTheSameSet) {
  SimProcess sim(sim_args());
  // 54 Mbit/s at 2.437 GHz, 200 bytes, frame control 0801, addresses 1 to 4.
  prepare("54 2.437 200 2049 0 0 1 2 3 4 1 1 1 1 1 1 1", sim.address());
  const ProgramRun r = run(bin("tarvio-unattended"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(temporary_folder_empty());

  // The same set through the command line: the unattended OFDM waveform is
  // mirrored, whatever the parameter file says.
  const std::string h = "--set MACheader.Contents.";
  const ProgramRun calc =
      run(bin("tarvio-cli") + " calc WLAN_varsB.mat --rate 54 --set dataLength=200 " + "--set MirrorSpectrum=1 " + h +
          "FrameCntrl.Contents=0x0801 " + h + "Address1.Contents=1 " + h + "Address2.Contents=2 " + h +
          "Address3.Contents=3 " + h + "Address4.Contents=4 --sig Frequency=2437000000 --dump d.mat");
  ASSERT_EQ(calc.code, 0) << calc.err;
  const MatVars dump = mat_read((dir / "d.mat").string());
  CVec wave;
  SigGenSettings sg;
  for (const auto& [name, v] : dump) {
    if (name == "waveform") wave = v.to_complex();
    if (name == "SigGenSettings") sg = record_from_value<SigGenSettings>(v, "SigGenSettings");
  }
  ASSERT_FALSE(wave.empty());
  EXPECT_EQ(*sg.SamplingRate, 40000000);
  const std::string stored = read_file(dir / "store" / "WLan.wfm");
  ASSERT_EQ(stored.size(), 4 * wave.size());
  EXPECT_TRUE(stored == stored_form(wave)) << "the instrument holds another waveform";

  // Transfer first, then the playback set-up in its order.
  const std::vector<std::string> log = log_lines();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), ":SOUR:RAD:ARB:STATe?");
  const std::vector<std::string> play = korplay_c_commands("WLan", sg, true);
  auto at = std::find(log.begin(), log.end(), ":SOUR:RAD:ARB:STATe OFF");
  ASSERT_NE(at, log.end());
  for (const std::string& c : play) {
    at = std::find(at, log.end(), c);
    ASSERT_NE(at, log.end()) << "missing or out of order: " << c;
  }
  EXPECT_TRUE(fs::exists(dir / "rfIOConfig.mat"));
}

TEST_F(UnattendedHost, RateOutsideTheListSendsNothing) {
  SimProcess sim(sim_args());
  prepare("7 2.437 200 0 0 0 0 0 0 0 1 1 1 1 1 1 1", sim.address());
  const ProgramRun r = run(bin("tarvio-unattended"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("the data rate 7 Mbit/s is not one of"), std::string::npos) << r.err;
  EXPECT_TRUE(temporary_folder_empty());
  EXPECT_TRUE(log_lines().empty());
  EXPECT_FALSE(fs::exists(dir / "store" / "WLan.wfm"));
  EXPECT_TRUE(fs::exists(dir / "rfIOConfig.mat"));  // the folder's own is kept
}

TEST_F(UnattendedHost, FailedRunInAnEmptyFolderLeavesNoConnectionFile) {
  const ProgramRun r = run(bin("tarvio-unattended"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Nothing was changed"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "rfIOConfig.mat"));
}

}  // namespace
}  // namespace tarvio
