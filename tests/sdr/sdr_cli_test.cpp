// tarvio-cli play, capture and sdr against the test radio module
// (driver=tarviotest): what reaches the device, where the bursts end, the
// recording and its analysis, and the error of every fault the module shows.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "hosts/cli_run.h"

namespace fs = std::filesystem;
using tarvio::testing::run_cli;

namespace {

class SdrCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("SOAPY_SDR_PLUGIN_PATH", TARVIO_SOAPY_MODULES, 1);
    dir_ = fs::temp_directory_path() / ("tarvio-sdr-test-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string dev(const std::string& extra = "") const {
    return "driver=tarviotest,record=" + path("rec") + (extra.empty() ? "" : "," + extra);
  }
  static std::vector<char> bytes(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  }
  static std::vector<float> floats(const std::string& p) {
    const auto b = bytes(p);
    std::vector<float> v(b.size() / 4);
    std::memcpy(v.data(), b.data(), v.size() * 4);
    return v;
  }
  // The sample counts at which the device saw an end-of-burst flag.
  std::vector<size_t> ends() const {
    std::vector<size_t> e;
    std::ifstream f(path("rec") + ".bursts");
    for (std::string w; f >> w;)
      if (w == "end") {
        size_t n;
        f >> n;
        e.push_back(n);
      }
    return e;
  }
  // A 1000-sample SigMF recording with bursts [100, 300) and [500, 900):
  // a ramp whose peak component is exactly 1.
  std::string write_waveform() const {
    std::vector<float> s(2000);
    for (size_t k = 0; k < 1000; ++k) s[2 * k] = float(k) / 999.0f, s[2 * k + 1] = -0.5f * float(k % 7) / 6.0f;
    std::ofstream(path("w.sigmf-data"), std::ios::binary).write(reinterpret_cast<const char*>(s.data()), 8000);
    nlohmann::json meta = {{"global", {{"core:datatype", "cf32_le"}, {"core:sample_rate", 20e6}, {"core:version", "1.0.0"}}},
                           {"captures", nlohmann::json::array()},
                           {"annotations",
                            {{{"core:sample_start", 100}, {"core:sample_count", 200}, {"core:label", "burst"}},
                             {{"core:sample_start", 500}, {"core:sample_count", 400}, {"core:label", "burst"}}}}};
    std::ofstream(path("w.sigmf-meta")) << meta.dump();
    return path("w.sigmf-meta");
  }
  fs::path dir_;
};

TEST_F(SdrCli, PlayDeliversFileSamplesExactlyWithBurstEnds) {
  const std::string w = write_waveform();
  const auto src = floats(path("w.sigmf-data"));
  // CF32: the very floats of the file (its peak is 1); CS16: within 1 LSB.
  for (const std::string native : {"CF32", "CS16"}) {
    SCOPED_TRACE(native);
    const auto r = run_cli({"play", "--sdr", dev("native=" + native), w, "--freq", "2.412e9", "--gain", "10",
                            "--repeat", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto got = bytes(path("rec"));
    if (native == "CF32") {
      ASSERT_EQ(got.size(), 2 * 8000u);
      EXPECT_EQ(0, std::memcmp(got.data(), bytes(path("w.sigmf-data")).data(), 8000));
      EXPECT_EQ(0, std::memcmp(got.data() + 8000, got.data(), 8000));
    } else {
      ASSERT_EQ(got.size(), 2 * 4000u);
      std::vector<int16_t> s(got.size() / 2);
      std::memcpy(s.data(), got.data(), got.size());
      int worst = 0;
      for (size_t k = 0; k < 2000; ++k) worst = std::max(worst, int(std::lround(std::fabs(s[k] - src[k] * 32767.0))));
      EXPECT_LE(worst, 1);
    }
    // Bursts end where marker 2 does, in both passes; the idle tail closes with the last.
    EXPECT_EQ(ends(), (std::vector<size_t>{300, 900, 1300, 1900, 2000}));
  }
}

TEST_F(SdrCli, PlayOfCalculationMatchesItsRecordingAndCaptureDecodes) {
  ASSERT_EQ(run_cli({"calc", "--sigmf", path("ref")}).code, 0);
  const auto ref = floats(path("ref.sigmf-data"));
  nlohmann::json meta = nlohmann::json::parse(std::ifstream(path("ref.sigmf-meta")));
  const auto r = run_cli({"play", "--sdr", dev(), "--freq", "2.412e9", "--gain", "0"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto got = floats(path("rec"));
  ASSERT_EQ(got.size(), ref.size());
  float peak = 0;
  for (float x : ref) peak = std::max(peak, std::fabs(x));
  double worst = 0;
  for (size_t k = 0; k < ref.size(); ++k) worst = std::max(worst, double(std::fabs(got[k] - ref[k] / peak)));
  EXPECT_LT(worst, 1e-6);
  std::vector<size_t> want;
  for (const auto& a : meta["annotations"]) want.push_back(a["core:sample_start"].get<size_t>() + a["core:sample_count"].get<size_t>());
  if (want.empty() || want.back() != ref.size() / 2) want.push_back(ref.size() / 2);
  EXPECT_EQ(ends(), want);

  // The same waveform played back by the radio on receive, two loops of it
  // recorded, decodes in the analyser.
  const double rate = meta["global"]["core:sample_rate"].get<double>();
  char seconds[64];
  std::snprintf(seconds, sizeof seconds, "%.17g", double(ref.size()) / rate);
  const auto c = run_cli({"capture", "--sdr", "driver=tarviotest,playback=" + path("ref.sigmf-data"), "--freq", "2.412e9",
                          "--rate", std::to_string(rate), "--seconds", seconds, "--gain", "20", "--out",
                          path("cap.sigmf-meta"), "--analyze"});
  EXPECT_EQ(c.code, 0) << c.out << c.err;
  EXPECT_NE(c.err.find("analyze"), std::string::npos) << c.err;
  EXPECT_NE(c.out.find("2 packets"), std::string::npos) << c.out;
  const auto cm = nlohmann::json::parse(std::ifstream(path("cap.sigmf-meta")));
  EXPECT_EQ(cm["global"]["core:sample_rate"].get<double>(), rate);
  EXPECT_EQ(cm["global"]["tarvio:gain_db"].get<double>(), 20);
  EXPECT_NE(cm["global"]["core:hw"].get<std::string>().find("tarviotest"), std::string::npos);
  EXPECT_EQ(cm["captures"][0]["core:frequency"].get<double>(), 2.412e9);
  EXPECT_TRUE(cm["captures"][0].contains("core:datetime"));
  EXPECT_EQ(bytes(path("cap.sigmf-data")).size(), 2 * ref.size() * 4);
}

// Every fault: its exit status and the words that name it; nothing is sent
// when a setting is refused.
TEST_F(SdrCli, FaultsGiveTheirErrors) {
  const std::string w = write_waveform();
  struct Case {
    std::string args, freq, gain, code_text;
    int code;
    bool sends;
  } cases[] = {
      {"driver=nosuchradio", "2.4e9", "0", "no SoapySDR module for the driver 'nosuchradio'", 1, false},
      {dev("fault=busy"), "2.4e9", "0", "device busy", 1, false},
      {dev(), "1e3", "0", "the frequency 1000 Hz is outside the device's range (70 MHz to 6 GHz)", 1, false},
      {dev(), "2.4e9", "99", "the gain 99 dB is outside the device's range (0 dB to 60 dB in steps of 1 dB)", 1, false},
      {dev("fault=timeout"), "2.4e9", "0", "the device took no samples for 1 s (time-out)", 1, false},
      {dev("fault=lost,lost_after=300"), "2.4e9", "0", "stopped answering (unplugged?)", 1, true},
      {dev("fault=underflow"), "2.4e9", "0", "the device reported 3 underflow(s)", 0, true},
      {dev("rates=25e6"), "2.4e9", "0", "note: the device cannot run 20 MHz (it runs 25 MHz): the waveform is resampled to 25 MHz", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    fs::remove(path("rec"));
    const auto r = run_cli({"play", "--sdr", c.args, w, "--freq", c.freq, "--gain", c.gain});
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.err.find(c.code_text), std::string::npos) << r.err;
    EXPECT_EQ(fs::exists(path("rec")) && fs::file_size(path("rec")) > 0, c.sends);
  }
  // Resampled, never at the wrong rate: 1000 samples at 20 MHz are 1250 at 25 MHz.
  run_cli({"play", "--sdr", dev("rates=25e6"), w, "--freq", "2.4e9", "--gain", "0"});
  const auto up = floats(path("rec"));
  ASSERT_EQ(up.size(), 1250u * 2);
  // The ramp's I at output 625 is the waveform at input 500, and at output
  // 1200 the one at input 960.
  EXPECT_NEAR(up[2 * 625], 500.0 / 999, 2e-3);
  EXPECT_NEAR(up[2 * 1200], 960.0 / 999, 2e-3);
  // Down to 10 MHz: 500 samples, output 250 at input 500.
  run_cli({"play", "--sdr", dev("rates=10e6"), w, "--freq", "2.4e9", "--gain", "0"});
  const auto down = floats(path("rec"));
  ASSERT_EQ(down.size(), 500u * 2);
  EXPECT_NEAR(down[2 * 250], 500.0 / 999, 2e-3);
}

// Played slower than its rate, a waveform is low-passed first: a tone
// beyond half the device's rate (15 MHz at 40 MHz, played at 20 MHz) does
// not fold into the band (to -5 MHz), a tone inside (2 MHz) passes.
TEST_F(SdrCli, DownsamplingFiltersWhatWouldFold) {
  const size_t n = 4000;
  std::vector<float> s(2 * n);
  for (size_t k = 0; k < n; ++k) {
    const std::complex<double> x =
        0.5 * std::polar(1.0, 2 * M_PI * 2e6 / 40e6 * double(k)) + 0.3 * std::polar(1.0, 2 * M_PI * 15e6 / 40e6 * double(k));
    s[2 * k] = float(x.real()), s[2 * k + 1] = float(x.imag());
  }
  std::ofstream(path("t.sigmf-data"), std::ios::binary).write(reinterpret_cast<const char*>(s.data()), std::streamsize(8 * n));
  std::ofstream(path("t.sigmf-meta")) << nlohmann::json{
      {"global", {{"core:datatype", "cf32_le"}, {"core:sample_rate", 40e6}, {"core:version", "1.0.0"}}},
      {"captures", nlohmann::json::array()},
      {"annotations", nlohmann::json::array()}}.dump();
  const auto r = run_cli({"play", "--sdr", dev("rates=20e6"), path("t.sigmf-meta"), "--freq", "2.4e9", "--gain", "0"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("low-passed to +-9 MHz first"), std::string::npos) << r.err;
  const auto y = floats(path("rec"));
  ASSERT_EQ(y.size(), 2 * n / 2);
  auto tone = [&](double f) {  // the tone's amplitude over the middle half
    std::complex<double> acc = 0;
    for (size_t k = 500; k < 1500; ++k)
      acc += std::complex<double>(y[2 * k], y[2 * k + 1]) * std::polar(1.0, -2 * M_PI * f / 20e6 * double(k));
    return std::abs(acc) / 1000;
  };
  EXPECT_GT(tone(2e6), 0.4);
  EXPECT_LT(tone(-5e6), 1e-3 * tone(2e6));
}

// Capture refuses a rate the device does not run before recording, and a
// radio that sends nothing fails at the time-out; neither leaves files.
TEST_F(SdrCli, CaptureFaultsLeaveNoRecording) {
  struct Case {
    std::string args, text;
  } cases[] = {
      {"driver=tarviotest,rates=25e6", "the rate 20000000 Hz is not one the device runs (25 MHz)"},
      {"driver=tarviotest,fault=timeout", "the device sent no samples for 1 s (time-out)"},
      {"driver=tarviotest,fault=lost,lost_after=0,playback=" + path("w.sigmf-data"), "stopped answering (unplugged?)"},
  };
  write_waveform();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = run_cli({"capture", "--sdr", c.args, "--freq", "2.4e9", "--rate", "20e6", "--seconds", "0.001",
                            "--out", path("cap.sigmf-meta")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(path("cap.sigmf-meta")) || fs::exists(path("cap.sigmf-data")));
  }
}

TEST_F(SdrCli, InterruptStopsLoopCleanly) {
  const std::string w = write_waveform();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 1), ::dup2(null, 2);
    const std::string cli = tarvio::testing::cli_path(), d = dev();
    ::execl(cli.c_str(), cli.c_str(), "play", "--sdr", d.c_str(), w.c_str(), "--freq", "2.4e9", "--gain", "0", "--loop",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Until the loop has made a few passes.
  for (int k = 0; k < 2000 && ends().size() < 10; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ::kill(pid, SIGINT);
  int st = 0;
  ::waitpid(pid, &st, 0);
  ASSERT_TRUE(WIFEXITED(st));
  EXPECT_EQ(WEXITSTATUS(st), 130);
  std::ifstream f(path("rec") + ".bursts");
  std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_NE(all.find("deactivated"), std::string::npos);
  EXPECT_EQ(bytes(path("rec")).size() % 8, 0u);
}

// Ctrl-C during a capture: exit 130, and the recording holds what came.
TEST_F(SdrCli, InterruptEndsCaptureWithWhatWasRecorded) {
  write_waveform();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 1), ::dup2(null, 2);
    const std::string cli = tarvio::testing::cli_path(), out = path("cap.sigmf-meta"),
                      d = "driver=tarviotest,pace=1,playback=" + path("w.sigmf-data");
    ::execl(cli.c_str(), cli.c_str(), "capture", "--sdr", d.c_str(), "--freq", "2.4e9", "--rate", "1e6", "--seconds",
            "30", "--out", out.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Until the data file holds samples.
  for (int k = 0; k < 2000; ++k) {
    std::error_code ec;
    bool any = false;
    for (const auto& e : fs::directory_iterator(dir_, ec))
      any = any || (e.path().filename().string().find("cap.sigmf-data") != std::string::npos && e.file_size(ec) > 0);
    if (any) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(pid, SIGINT);
  int st = 0;
  ::waitpid(pid, &st, 0);
  ASSERT_TRUE(WIFEXITED(st));
  EXPECT_EQ(WEXITSTATUS(st), 130);
  const auto size = fs::file_size(path("cap.sigmf-data"));
  EXPECT_GT(size, 0u);
  EXPECT_LT(size, 30e6 * 8);
  EXPECT_EQ(size % 8, 0u);
  EXPECT_TRUE(nlohmann::json::parse(std::ifstream(path("cap.sigmf-meta")))["captures"][0].contains("core:datetime"));
}

TEST_F(SdrCli, ListAndInfoShowTheTestRadio) {
  const auto l = run_cli({"sdr", "list", "driver=tarviotest"});
  EXPECT_EQ(l.code, 0);
  EXPECT_NE(l.out.find("driver tarviotest, serial T1, 1 TX / 1 RX channel(s)"), std::string::npos) << l.out;
  const auto i = run_cli({"sdr", "info", "driver=tarviotest,rates=25e6;50e6"});
  EXPECT_EQ(i.code, 0) << i.err;
  EXPECT_NE(i.out.find("sample rates: 25 MHz, 50 MHz"), std::string::npos) << i.out;
  EXPECT_NE(i.out.find("frequency:    70 MHz to 6 GHz"), std::string::npos) << i.out;
  EXPECT_NE(i.out.find("antennas:     TX/RX, RX2"), std::string::npos) << i.out;
  EXPECT_NE(i.out.find("formats:      CF32, CS16 (native CF32)"), std::string::npos) << i.out;
}

}  // namespace
