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
  std::string err() const {
    std::ifstream in(path("err.txt"));
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
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

// Damaged and hostile files: a dump or SigMF recording cut short is checked
// against its own account (packets, projected length) and the cut packet
// is named; a NaN sample is not measured; odd raw lengths, byte-swapped
// words and sample rates no capture can have are refused or fail cleanly;
// the mask verdict says how far the sample rate let it look.
TEST_F(CliVerify, DamagedFilesAreReportedAsTheyAre) {
  ASSERT_EQ(run("calc --rate 54 --set numberOfPackets=3 --set dataLength=200 --dump dump.mat --raw wave.raw "
                "--sigmf rec --quiet")
                .code,
            0);
  const size_t n = mat_read_var(path("dump.mat"), "waveform").numel(), pkt = n / 3;
  const std::string first = spoil("first.mat", [&](CVec& w) { w.resize(pkt); });
  const std::string third = spoil("third.mat", [&](CVec& w) { w.resize(2 * pkt + pkt / 3); });
  const std::string nan = spoil("nan.mat", [&](CVec& w) { w[pkt / 3] = cplx(NAN, 0); });
  {
    std::ifstream in(path("rec.sigmf-data"), std::ios::binary);
    std::vector<char> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    d.resize(8 * (2 * pkt + pkt / 2) + 3);
    std::ofstream(path("cut.sigmf-data"), std::ios::binary).write(d.data(), static_cast<long>(d.size()));
    fs::copy_file(path("rec.sigmf-meta"), path("cut.sigmf-meta"));
    std::ofstream(path("odd.raw"), std::ios::binary).write(d.data(), 1001);
    for (size_t k = 0; k + 1 < d.size(); k += 2) std::swap(d[k], d[k + 1]);
    std::ofstream(path("swapped.raw"), std::ios::binary).write(d.data(), static_cast<long>(8 * pkt));
  }
  const struct {
    std::string args;
    int code;
    std::vector<std::string> out, not_out;
    std::string in_err;
  } cases[] = {
      {"verify first.mat", 1, {"#1 OFDM", "#2 missing", "#3 missing", "it ends after packet 1"}, {}, ""},
      {"verify third.mat", 1, {"#3 cut", "cut inside packet 3", "2 passed"}, {"#4"}, ""},
      {"verify cut.sigmf-meta", 1, {"#3 cut", "2 passed"}, {}, ""},
      {"verify nan.mat", 1, {"EVM not measured", "mask not measured", "not numbers"}, {"-inf", "inf %"}, ""},
      {"verify dump.mat", 0, {"mask pass up to 20 MHz (sample rate limits it)"}, {}, ""},
      {"verify swapped.raw --sample-rate 40e6", 1, {}, {}, ""},
      {"verify odd.raw --sample-rate 40e6", 1, {}, {}, "'odd.raw' is 1001 bytes long, not a whole number of samples"},
      {"verify wave.raw --sample-rate 1e300", 2, {}, {}, "--sample-rate 1e300: outside 1 MHz to 5.5 THz"},
      {"verify wave.raw --sample-rate 1e15", 2, {}, {}, "outside 1 MHz to 5.5 THz"},
      {"verify wave.raw --sample-rate 5.5e12 --family dsss", 1, {"no packet found", "the shortest packet lasts"}, {}, ""},
  };
  for (const auto& c : cases) {
    const CliRun r = run(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.out << err();
    for (const std::string& t : c.out) EXPECT_NE(r.out.find(t), std::string::npos) << c.args << ": " << t << "\n" << r.out;
    for (const std::string& t : c.not_out) EXPECT_EQ(r.out.find(t), std::string::npos) << c.args << ": " << t;
    if (!c.in_err.empty()) {
      EXPECT_NE(err().find(c.in_err), std::string::npos) << c.args << "\n" << err();
    }
  }
  ASSERT_EQ(run("calc --rate 11 --set OverSampling=1.5 --dump dsss.mat --quiet").code, 0);
  const CliRun d = run("verify dsss.mat");
  EXPECT_NE(d.out.find("mask not checked (the sample rate reaches only 8.25 MHz"), std::string::npos) << d.out;
  EXPECT_EQ(d.out.find("mask pass"), std::string::npos) << d.out;
}

}  // namespace
}  // namespace tarvio
