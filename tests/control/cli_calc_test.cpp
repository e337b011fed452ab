// tarvio-cli calc end to end: every data rate with three packets dumped to a
// MAT file that scipy reads back consistently, option order, refusals and
// the exit code of a stopping check.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct CmdResult {
  int code = -1;
  std::string err;
};

// Runs a shell command line; returns the exit code and standard error.
CmdResult run(const std::string& cmd) {
  static int counter = 0;
  const fs::path errFile =
      fs::temp_directory_path() / ("tarvio-cli-err-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  const int status = std::system((cmd + " 2>" + errFile.string()).c_str());
  CmdResult r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(errFile);
  std::stringstream ss;
  ss << in.rdbuf();
  r.err = ss.str();
  fs::remove(errFile);
  return r;
}

class CliCalc : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio-cli-calc-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    cli = std::string(TARVIO_BIN) + "/tarvio-cli";
    if (!fs::exists(cli)) GTEST_SKIP() << "tarvio-cli is not built";
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  std::string cli;
};

// scipy reads the dump; the waveform is numberOfPackets packets of pktSize
// samples, the markers match it, and the sample rate is the format's clock
// times the oversampling.
const char* kCheck = R"PY(
import sys, numpy as np, scipy.io as sio
d = sio.loadmat(sys.argv[1])
rate = float(sys.argv[2])
w, m, p = d['waveform'], d['markers'], d['parameters'][0, 0]
os_ = float(p['OverSampling'][0, 0]); fmt = float(p['format'][0, 0])
pkt = int(p['multiFrame'][0, 0]['pktSize'][0, 0])
assert float(p['dataRate'][0, 0]) == rate, p['dataRate']
assert float(p['dataLength'][0, 0]) == 1500
assert w.shape == (1, 3 * pkt) and np.iscomplexobj(w), w.shape
assert m.shape == (2, w.shape[1]), m.shape
assert set(np.unique(m)) <= {0.0, 1.0}
assert float(d['sampleRate'][0, 0]) == (20e6 if fmt == 1 else 11e6) * os_
assert np.max(np.abs(w)) > 0
# sequence numbering is on: three different packets
a, b = w[0, :pkt], w[0, pkt:2 * pkt]
assert not np.array_equal(a, b)
assert 'SigGenSettings' in d
print('ok')
)PY";

class CliCalcRates : public CliCalc, public ::testing::WithParamInterface<const char*> {};

TEST_P(CliCalcRates, ThreePacketsDumpReadByScipy) {
  const std::string rate = GetParam();
  const fs::path mat = dir / ("w" + rate + ".mat");
  const CmdResult r =
      run(cli + " calc --rate " + rate + " --set dataLength=1500 --set numberOfPackets=3 --dump " + mat.string());
  ASSERT_EQ(r.code, 0) << r.err;
  const fs::path script = dir / "check.py";
  std::ofstream(script) << kCheck;
  const CmdResult py = run("/usr/bin/python3 " + script.string() + " " + mat.string() + " " + rate + " >/dev/null");
  EXPECT_EQ(py.code, 0) << py.err;
}

INSTANTIATE_TEST_SUITE_P(AllRates, CliCalcRates,
                         ::testing::Values("1", "2", "5.5", "6", "9", "11", "12", "18", "22", "24", "33", "36", "48",
                                           "54"),
                         [](const auto& p_info) {
                           std::string s = p_info.param;
                           for (char& c : s)
                             if (c == '.') c = '_';
                           return "rate" + s;
                         });

TEST_F(CliCalc, RefusesUnknownFieldsAndWrongKinds) {
  CmdResult r = run(cli + " calc --set NoSuchField=1");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("parameters.NoSuchField"), std::string::npos) << r.err;
  r = run(cli + " calc --set 'OverSampling=[1 2]'");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("parameters.OverSampling"), std::string::npos) << r.err;
  r = run(cli + " calc --sig Scaling=abc");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("SigGenSettings.Scaling"), std::string::npos) << r.err;
  r = run(cli + " calc --rate 7");
  EXPECT_EQ(r.code, 2);
}

TEST_F(CliCalc, StoppingCheckGivesNonZeroExitWithItsTitle) {
  const CmdResult r = run(cli + " calc --set MACheader.Contents.SeqCntrl.Active=0 --dump " + (dir / "x.mat").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Parameter Conflict Warning!"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "x.mat"));
}

TEST_F(CliCalc, OptionsApplyInOrderAndParameterFilesRoundTrip) {
  const fs::path par = dir / "p.mat", a = dir / "a.mat", b = dir / "b.mat";
  // 33 Mbit/s, then a later oversampling of 6 overrides the list's 3.
  CmdResult r = run(cli + " calc --rate 33 --set OverSampling=6 --set dataLength=100 --save-params " + par.string() +
                    " --dump " + a.string());
  ASSERT_EQ(r.code, 0) << r.err;
  r = run(cli + " calc " + par.string() + " --dump " + b.string());
  ASSERT_EQ(r.code, 0) << r.err;
  const fs::path script = dir / "same.py";
  std::ofstream(script) << "import sys, numpy as np, scipy.io as sio\n"
                           "a = sio.loadmat(sys.argv[1]); b = sio.loadmat(sys.argv[2])\n"
                           "assert float(a['sampleRate'][0,0]) == 66e6, a['sampleRate']\n"
                           "assert np.array_equal(a['waveform'], b['waveform'])\n";
  const CmdResult py = run("/usr/bin/python3 " + script.string() + " " + a.string() + " " + b.string());
  EXPECT_EQ(py.code, 0) << py.err;
}

// What depends on a field follows it: the sample counts and the sample rate
// after the oversampling, the header bits and lengths after a header field.
TEST_F(CliCalc, DependentFieldsFollowASetField) {
  const fs::path mat = dir / "dep.mat";
  const CmdResult r = run(cli + " calc --set OverSampling=8 --set MACheader.Contents.Address1.Contents=0x123456789ABC" +
                          " --set MACheader.Contents.Address4.Active=0 --dump " + mat.string());
  ASSERT_EQ(r.code, 0) << r.err;
  const fs::path script = dir / "dep.py";
  std::ofstream(script) << "import sys, numpy as np, scipy.io as sio\n"
                           "d = sio.loadmat(sys.argv[1]); p = d['parameters'][0,0]\n"
                           "g = lambda r, f: float(r[f][0,0])\n"
                           "assert g(p, 'idleSamples') == 8800 and g(p, 'rampLength') == 176\n"
                           "assert float(d['sampleRate'][0,0]) == 88e6\n"
                           "h = p['MACheader'][0,0]; c = h['Contents'][0,0]\n"
                           "assert g(h, 'Length') == 24 and g(p, 'totalLength') == 1052\n"
                           "bits = c['BitStream'].ravel()\n"
                           "assert bits.size == 192\n"
                           "octets = [int(sum(int(bits[32 + 8*k + i]) << i for i in range(8))) for k in range(6)]\n"
                           "assert octets == [0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC], octets\n";
  const CmdResult py = run("/usr/bin/python3 " + script.string() + " " + mat.string());
  EXPECT_EQ(py.code, 0) << py.err;
}

}  // namespace
