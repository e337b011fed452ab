// tarvio-cli verify and calc --verify end to end: every file kind the
// calculation writes is read back and passes; a spoiled dump (the
// waveform conjugated, I and Q swapped, noise above the EVM limit) fails
// with exit code 1; JSON carries the figures. (A flipped payload bit is
// caught by the FCS: verify/receivers_test.)
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>

#include "runtime/matfile.h"

namespace fs = std::filesystem;

namespace tarvio {
namespace {

struct CliRun {
  int code = -1;
  std::string out;
};

class CliVerify : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "tarvio-verify-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  CliRun run(const std::string& args) const {
    const std::string cmd = "cd '" + dir_.string() + "' && '" + std::string(TARVIO_BIN) + "/tarvio-cli' " + args +
                            " 2>'" + path("err.txt") + "'";
    CliRun r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
  }
  // Rewrites the dump's waveform through f.
  template <class F>
  std::string spoil(const std::string& name, F f) {
    MatVars vars = mat_read(path("dump.mat"));
    for (auto& [n, v] : vars)
      if (n == "waveform") {
        CVec w = v.to_complex();
        f(w);
        v = Value::complex_row(std::move(w));
      }
    mat_write(path(name), vars);
    return path(name);
  }
  fs::path dir_;
};

TEST_F(CliVerify, EveryFileKindPassesAndSpoiledOnesFail) {
  const CliRun calc =
      run("calc --rate 54 --set numberOfPackets=3 --set dataLength=200 --set OverSampling=2 "
          "--dump dump.mat --export wave.exp --raw wave.raw --save-wave save.mat --sigmf rec --verify");
  ASSERT_EQ(calc.code, 0) << calc.out;
  EXPECT_NE(calc.out.find("3 packets, 3 decoded, 3 passed, 0 failed"), std::string::npos) << calc.out;
  for (const char* f : {"dump.mat", "wave.exp", "save.mat", "rec.sigmf-meta", "wave.raw --sample-rate 40e6"}) {
    const CliRun r = run(std::string("verify ") + f);
    EXPECT_EQ(r.code, 0) << f << "\n" << r.out;
    EXPECT_NE(r.out.find("3 packets, 3 decoded, 3 passed"), std::string::npos) << f << "\n" << r.out;
  }
  EXPECT_NE(run("verify dump.mat").out.find("PSDU equal"), std::string::npos);
  EXPECT_EQ(run("verify wave.raw").code, 2);  // the sample rate is needed

  std::mt19937 gen(3);
  std::normal_distribution<double> noise(0, 1);
  const std::string spoiled[] = {spoil("conj.mat",
                                       [](CVec& w) {
                                         for (auto& v : w) v = std::conj(v);
                                       }),
                                 spoil("swap.mat",
                                       [](CVec& w) {
                                         for (auto& v : w) v = cplx(v.imag(), v.real());
                                       }),
                                 spoil("noise.mat", [&](CVec& w) {
                                   // Noise 18 dB below the burst power over the whole band, about 22 dB in band.
                                   double pw = 0, n = 0;
                                   for (const auto& v : w)
                                     if (std::norm(v) > 0) pw += std::norm(v), ++n;
                                   const double s = std::sqrt(pw / n * std::pow(10, -1.8) / 2);
                                   for (auto& v : w) v += s * cplx(noise(gen), noise(gen));
                                 })};
  for (const std::string& f : spoiled) EXPECT_EQ(run("verify '" + f + "'").code, 1) << f;
  // A conjugated waveform is a mirrored spectrum: the report says so.
  const std::string mirrored_note = "note: the packets decode with the spectrum mirrored";
  EXPECT_NE(run("verify '" + spoiled[0] + "'").out.find(mirrored_note), std::string::npos);
  EXPECT_EQ(run("verify '" + spoiled[0] + "' --mirrored").code, 0);
  EXPECT_EQ(run("verify '" + spoiled[2] + "'").out.find("note:"), std::string::npos);
  const CliRun noisy = run("verify '" + spoiled[2] + "' --json");
  const auto j = nlohmann::json::parse(noisy.out);
  EXPECT_TRUE(j["packets"][0]["fcsOk"].get<bool>());  // decodes, but above the EVM limit
  EXPECT_GT(j["packets"][0]["evmDb"].get<double>(), -25);
  EXPECT_FALSE(j["summary"]["pass"].get<bool>());
}

// Waveforms correct by construction pass: the defaults (11 Mbit/s CCK);
// 33 Mbit/s, whose part at 16.5 Mchip/s is held to the mask of its own
// chip rate; and packets without the MAC FCS, whose PSDU is then checked
// against the parameter set's alone (a spoiled one still fails).
TEST_F(CliVerify, CorrectWaveformsPass) {
  for (const char* args : {"", "--rate 33", "--rate 33 --set OverSampling=6", "--rate 54 --set MACfcs.Active=0",
                           "--set MACfcs.Active=0 --dump dump.mat"}) {
    const CliRun r = run(std::string("calc ") + args + " --verify");
    EXPECT_EQ(r.code, 0) << args << "\n" << r.out;
    EXPECT_NE(r.out.find("mask pass"), std::string::npos) << args << "\n" << r.out;
  }
  EXPECT_NE(run("verify dump.mat").out.find("no FCS"), std::string::npos);
  const std::string conj = spoil("conj.mat", [](CVec& w) {
    for (auto& v : w) v = std::conj(v);
  });
  EXPECT_EQ(run("verify '" + conj + "'").code, 1);
}

// The bursts of a file are shared among the threads: any count gives the
// same report, passing packets and failing ones alike.
TEST_F(CliVerify, ThreadsDoNotChangeTheReport) {
  ASSERT_EQ(
      run("calc --rate 24 --set numberOfPackets=6 --set dataLength=100 --set OverSampling=2 --dump dump.mat").code, 0);
  std::mt19937 gen(5);
  std::normal_distribution<double> noise(0, 1);
  const std::string noisy = spoil("noisy.mat", [&](CVec& w) {
    for (auto& v : w) v += 0.05 * cplx(noise(gen), noise(gen));
  });
  for (const char* format : {"", " --json"}) {
    const CliRun one = run("verify '" + noisy + "' --threads 1" + format);
    EXPECT_NE(one.out.find(*format ? "\"decoded\": 6" : "6 decoded"), std::string::npos) << one.out;
    for (const char* threads : {" --threads 2", " --threads 3"})
      EXPECT_EQ(run("verify '" + noisy + "'" + threads + format).out, one.out) << threads << format;
  }
}

// The calculation's impairments are measured back by verify: carrier offset
// (and in ppm of the carrier the dump carries), clock error, IQ gain and
// phase, DC offset (-33 dBc in I and in Q: -30 dBc), within their tolerances.
TEST_F(CliVerify, ImpairmentsAreMeasuredBack) {
  const std::string common =
      " --set numberOfPackets=2 --set dataLength=800 --set dataSourceType=5 --set Impairments.SNR=35"
      " --set Impairments.IQGain=0.5 --set Impairments.IQPhase=2 --set Impairments.Seed=3 --dump imp.mat --quiet";
  struct Case {
    std::string args;
    double cfo, ppm, dc;
  };
  const Case cases[] = {
      {"--rate 24 --set Impairments.CFO=-200e3 --set Impairments.ClockPpm=30 --set 'Impairments.DCOffset=[-33 -33]'",
       -200e3, 30, -30},
      {"--rate 11 --set Impairments.CFO=90e3 --set Impairments.ClockPpm=-35", 90e3, -35, NAN},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(run("calc " + c.args + common).code, 0) << c.args;
    const auto j = nlohmann::json::parse(run("verify imp.mat --json").out);
    for (const auto& p : j["packets"]) {
      ASSERT_TRUE(p["fcsOk"].get<bool>()) << c.args;
      EXPECT_NEAR(p["cfoHz"].get<double>(), c.cfo, 0.01 * std::abs(c.cfo)) << c.args;
      EXPECT_DOUBLE_EQ(p["cfoPpm"].get<double>(), p["cfoHz"].get<double>() / p["carrierHz"].get<double>() * 1e6);
      EXPECT_NEAR(p["clockPpm"].get<double>(), c.ppm, 0.5) << c.args;
      EXPECT_NEAR(p["iqGainDb"].get<double>(), 0.5, 0.1) << c.args;
      EXPECT_NEAR(p["iqPhaseDeg"].get<double>(), 2, 0.5) << c.args;
      if (!std::isnan(c.dc)) {
        EXPECT_NEAR(p["dcOffsetDbc"].get<double>(), c.dc, 1) << c.args;
      }
    }
  }
}

}  // namespace
}  // namespace tarvio
