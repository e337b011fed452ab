// tarvio-cli analyze end to end on captures the test builds: our waveforms
// (with the calculation's own impairments) put into noise after a random
// idle stretch, resampled to a capture rate, written as a raw cf32 or
// SigMF file. Every rate decodes at every capture rate; an over-driven
// burst fails EVM and mask, a 300 kHz offset the frequency tolerance, a
// spoiled burst its FCS, each with its reason; noise, a foreign burst and a
// cut capture are reported as such; hostile files end with a clear error.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>

#include "hosts/cli_run.h"
#include "verify/impairments.h"

namespace fs = std::filesystem;

namespace tarvio {
namespace {

using testing::run_cli;

class Analyze : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "tarvio-analyze-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string path(const std::string& n) const { return (dir_ / n).string(); }
  testing::CliResult cli(const std::string& args) const {
    std::vector<std::string> a;
    std::istringstream in(args);
    for (std::string w; in >> w;) a.push_back(w);
    return run_cli(a, dir_.string());
  }
  // The calculation's waveform (a SigMF recording, cf32) as samples.
  CVec calc(const std::string& args) const {
    const auto r = cli("calc " + args + " --set numberOfPackets=3 --set dataLength=100 --sigmf rec --dump d.mat --quiet");
    EXPECT_EQ(r.code, 0) << args << "\n" << r.err;
    std::ifstream in(path("rec.sigmf-data"), std::ios::binary);
    std::vector<float> f;
    for (float v; in.read(reinterpret_cast<char*>(&v), 4);) f.push_back(v);
    CVec x(f.size() / 2);
    for (size_t k = 0; k < x.size(); ++k) x[k] = cplx(f[2 * k], f[2 * k + 1]);
    return x;
  }
  void write_cf32(const std::string& name, const CVec& x) const {
    std::ofstream out(path(name), std::ios::binary);
    for (const cplx& v : x) {
      const float f[2] = {static_cast<float>(v.real()), static_cast<float>(v.imag())};
      out.write(reinterpret_cast<const char*>(f), 8);
    }
  }
  nlohmann::json analyze(const std::string& file, const std::string& opts, int& code) const {
    const auto r = cli("analyze " + file + " --json --threads 2 " + opts);
    code = r.code;
    try {
      return nlohmann::json::parse(r.out);
    } catch (const std::exception&) {
      ADD_FAILURE() << "not JSON: " << r.out << r.err;
      return {};
    }
  }
  fs::path dir_;
};

double peak_power(const CVec& x) {
  double p = 0;
  for (const cplx& v : x) p = std::max(p, std::norm(v));
  return p;
}

// x played at `to` Hz instead of `from` Hz, after `idle` samples of nothing,
// with white noise `snr_db` below the bursts' mean power over the whole
// capture.
CVec capture(const CVec& x, double from, double to, size_t idle, double snr_db, unsigned seed) {
  CVec y(idle, 0);
  const double step = from / to;
  for (double t = 0; t < static_cast<double>(x.size()); t += step) y.push_back(verify::testing::sinc_at(x, t));
  double p = 0;
  size_t loud = 0;
  const double floor = peak_power(y) * 1e-4;
  for (const cplx& v : y)
    if (std::norm(v) > floor) p += std::norm(v), ++loud;
  std::mt19937 gen(seed);
  std::normal_distribution<double> g(0, std::sqrt(p / static_cast<double>(loud) * std::pow(10, -snr_db / 10) / 2));
  for (cplx& v : y) v += cplx(g(gen), g(gen));
  return y;
}

// Every rate decodes from a capture of another rate, with a random idle
// stretch, noise, carrier and clock offsets, IQ imbalance or multipath.
TEST_F(Analyze, EveryRateDecodesAtAnyCaptureRate) {
  struct Case {
    const char* calc;
    double fs, captureFs;
    const char* rate;
  };
  const std::string imp = " --set Impairments.CFO=25e3 --set Impairments.ClockPpm=8 --set Impairments.IQGain=0.3";
  const std::string fading =
      " --set Fading.delay=[0.05,0.1,0,0,0,0,0,0,0,0,0,0] --set Fading.atten=[-12,-18,0,0,0,0,0,0,0,0,0,0]"
      " --set Fading.state=[1,1,0,0,0,0,0,0,0,0,0,0]";
  const Case cases[] = {
      {"--rate 6 --set OverSampling=2", 40e6, 25e6, "6"},      {"--rate 9 --set OverSampling=2", 40e6, 30.72e6, "9"},
      {"--rate 12 --set OverSampling=2", 40e6, 40e6, "12"},    {"--rate 18 --set OverSampling=3", 60e6, 61.44e6, "18"},
      {"--rate 24 --set OverSampling=1", 20e6, 20e6, "24"},    {"--rate 36 --set OverSampling=2", 40e6, 25e6, "36"},
      {"--rate 48 --set OverSampling=2", 40e6, 30.72e6, "48"}, {"--rate 54 --set OverSampling=3", 60e6, 61.44e6, "54"},
      {"--rate 1 --set OverSampling=1", 11e6, 11e6, "1"},      {"--rate 2 --set OverSampling=2", 22e6, 25e6, "2"},
      {"--rate 5.5 --set OverSampling=2", 22e6, 22e6, "5.5"},  {"--rate 11 --set OverSampling=4", 44e6, 44e6, "11"},
      {"--rate 12 --set OverSampling=5", 100e6, 100e6, "12"},  {"--rate 11 --set OverSampling=6", 66e6, 66e6, "11"},
  };
  std::mt19937 gen(21);
  for (size_t k = 0; k < std::size(cases); ++k) {
    const Case& c = cases[k];
    // Every third case goes through two echoes instead of the impairments.
    const CVec x = calc(c.calc + (k % 3 == 2 ? fading : imp));
    ASSERT_FALSE(x.empty()) << c.calc;
    write_cf32("cap.cf32", capture(x, c.fs, c.captureFs, 100 + gen() % 5000, 35, static_cast<unsigned>(k)));
    int code = 0;
    char rate[32];
    std::snprintf(rate, sizeof rate, "%g", c.captureFs);
    const auto j = analyze("cap.cf32", std::string("--format cf32 --sample-rate ") + rate, code);
    SCOPED_TRACE(std::string(c.calc) + " captured at " + rate);
    ASSERT_TRUE(j.contains("packets"));
    EXPECT_EQ(j["packets"].size(), 3u) << j.dump(1);
    const bool ofdm = std::stod(c.rate) >= 6 && std::stod(c.rate) != 11;  // 1, 2, 5.5, 11 are DSSS
    for (const auto& p : j["packets"])
      EXPECT_EQ(p.value("cfoToleranceHz", 0.0), ofdm ? 20e-6 * 5825e6 : 25e-6 * 2484e6) << p.dump(1);
    if (k == 0) {  // one thread gives the same packets in the same order
      int one = 0;
      const auto j1 = analyze("cap.cf32", std::string("--format cf32 --threads 1 --sample-rate ") + rate, one);
      EXPECT_EQ(j1["packets"], j["packets"]);
      // The text gives the ramps and the EVM rows' range, --evm-rows the rows.
      const std::string t = cli(std::string("analyze cap.cf32 --evm-rows --format cf32 --sample-rate ") + rate).out;
      for (const char* part : {"    ramps: on ", " us (no limit for OFDM)\n    EVM per symbol: ", "; per sub-carrier: ",
                               "EVM per DATA symbol (dB):\n      1: ", "EVM per sub-carrier (dB):\n      -26: "})
        EXPECT_NE(t.find(part), std::string::npos) << part << "\n" << t;
    }
    for (const auto& p : j["packets"]) {
      EXPECT_TRUE(p.value("decoded", false)) << p.dump(1);
      EXPECT_EQ(p.value("rate", 0.0), std::stod(c.rate)) << p.dump(1);
      // The EVM rows add up to the packet's EVM, and the ramps are
      // measured for both families.
      EXPECT_LT(p.value("rampOnUs", 9.0), 2.0);
      EXPECT_LT(p.value("rampOffUs", 9.0), 2.0);
      if (ofdm) {
        const auto rows = p.value("evmPerSymbolDb", std::vector<double>{});
        ASSERT_EQ(rows.size(), p.value("symbols", 0u));
        double mean = 0;
        for (double db : rows) mean += std::pow(10, db / 10) / static_cast<double>(rows.size());
        EXPECT_NEAR(10 * std::log10(mean), p.value("evmDb", 0.0), 0.2);
        EXPECT_EQ(p.value("evmPerSubcarrierDb", std::vector<double>{}).size(), 48u);
        EXPECT_EQ(p["evmSubcarriers"].front(), -26);
      } else {
        const auto rows = p.value("evmPerBlockPercent", std::vector<double>{});
        ASSERT_FALSE(rows.empty());
        EXPECT_NEAR(*std::max_element(rows.begin(), rows.end()), p.value("evmPeakPercent", 0.0),
                    0.1 * p.value("evmPeakPercent", 0.0));
      }
    }
  }
}

std::string failures_of(const nlohmann::json& j) {
  std::string all;
  for (const auto& p : j["packets"]) {
    for (const auto& f : p.value("failures", nlohmann::json::array())) all += f.get<std::string>() + "\n";
    all += p.value("missing", "") + "\n";
  }
  return all;
}

// An honest verdict: each spoiled capture fails, and says why.
TEST_F(Analyze, SpoiledCapturesFailWithTheirReason) {
  enum class Spoil { None, Negate, Foreign, Cut, CutEarly, NoiseOnly };
  struct Case {
    const char* calc;
    Spoil spoil;
    std::vector<std::string> reasons;  // in the failures or the note
  };
  const Case cases[] = {
      {"--rate 54 --set Impairments.ClipPAPR=1", Spoil::None, {"EVM ", "spectrum mask exceeded"}},
      {"--rate 6 --set Impairments.CFO=300e3", Spoil::None, {"beyond the frequency tolerance +-116.5 kHz"}},
      {"--rate 2 --set Impairments.CFO=100e3 --set OverSampling=2", Spoil::None,
       {"beyond the frequency tolerance +-62.1 kHz"}},
      {"--rate 54", Spoil::Negate, {"FCS wrong"}},
      {"--rate 24", Spoil::Foreign, {"foreign burst of"}},
      {"--rate 24", Spoil::Cut, {"cut: the capture ends", "before the end its header announces"}},
      {"--rate 24", Spoil::CutEarly, {"cut: the capture ends", "before a header could be read"}},
      {"--rate 24", Spoil::NoiseOnly, {"noise only"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.calc);
    const bool dsss = std::string(c.calc).find("--rate 2 ") != std::string::npos;
    const double fs = dsss ? 22e6 : 40e6;
    CVec x = calc(std::string(c.calc) + (dsss ? "" : " --set OverSampling=2"));
    ASSERT_FALSE(x.empty());
    CVec y = capture(x, fs, fs, 3000, 40, 5);
    const size_t third = (y.size() - 3000) / 3;
    if (c.spoil == Spoil::Negate)  // 1 us of packet 2's data turned over: the power stays, the bits do not
      for (size_t k = 3000 + third + 1000; k < 3000 + third + 1040; ++k) y[k] = -y[k];
    if (c.spoil == Spoil::Foreign) {  // 60 us of strong noise in the idle stretch
      std::mt19937 gen(1);
      std::normal_distribution<double> g(0, std::sqrt(peak_power(y)) / 4);
      for (size_t k = 200; k < 200 + 2400; ++k) y[k] += cplx(g(gen), g(gen));
    }
    if (c.spoil == Spoil::Cut) y.resize(y.size() - third + 1200);      // 30 us into packet 3
    if (c.spoil == Spoil::CutEarly) y.resize(y.size() - third + 400);  // 10 us into it
    if (c.spoil == Spoil::NoiseOnly) y.resize(2500);
    write_cf32("cap.cf32", y);
    int code = 0;
    const auto j = analyze("cap.cf32", std::string("--format cf32 --sample-rate ") + (dsss ? "22e6" : "40e6"), code);
    EXPECT_EQ(code, 1) << j.dump(1);
    EXPECT_FALSE(j["summary"].value("pass", true));
    const std::string said = failures_of(j) + j.value("note", "");
    for (const std::string& r : c.reasons) EXPECT_NE(said.find(r), std::string::npos) << r << " in\n" << said;
    if (c.spoil == Spoil::Negate || c.spoil == Spoil::Foreign) {  // the other packets are untouched
      size_t passed = 0;
      for (const auto& p : j["packets"]) passed += p.value("pass", false);
      EXPECT_EQ(passed, c.spoil == Spoil::Negate ? 2u : 3u) << j.dump(1);
    }
    if (c.spoil == Spoil::Negate) {  // bit errors against the parameter set's PSDUs: only in packet 2
      const auto b = analyze("cap.cf32", "--format cf32 --sample-rate 40e6 --params d.mat", code);
      ASSERT_EQ(b["packets"].size(), 3u);
      EXPECT_EQ(b["packets"][0].value("bitErrors", -1), 0);
      EXPECT_GT(b["packets"][1].value("bitErrors", -1), 0);
      EXPECT_EQ(b["packets"][2].value("bitErrors", -1), 0);
      EXPECT_EQ(b["packets"][0].value("bitsCompared", 0), 8 * 134);
    }
  }
}

// Noise alone is noise at any capture rate: no burst, no packet, exit 1
// (at the low rates a few samples per window rise far above their mean).
TEST_F(Analyze, NoiseAloneIsNoiseAtEveryRate) {
  std::mt19937 gen(4);
  std::normal_distribution<double> g(0, 0.01);
  CVec x(600000);
  for (cplx& v : x) v = cplx(g(gen), g(gen));
  write_cf32("noise.cf32", x);
  for (const char* rate : {"11e6", "12e6", "20e6", "61.44e6"}) {
    int code = 0;
    const auto j = analyze("noise.cf32", std::string("--format cf32 --sample-rate ") + rate, code);
    EXPECT_EQ(code, 1) << rate;
    EXPECT_TRUE(j.value("noiseOnly", false)) << rate << " " << j.dump(1).substr(0, 2000);
    EXPECT_EQ(j["packets"].size(), 0u) << rate;
    EXPECT_NEAR(j.value("noiseFloorDb", 0.0), 10 * std::log10(2e-4), 0.5) << rate;
  }
}

// Files no capture could be: a clear error and exit 1 (a command-line
// sample rate out of range is a usage error, exit 2); a SigMF header that
// claims more samples than its data file holds is read for what it holds.
TEST_F(Analyze, HostileFilesEndWithAClearError) {
  std::ofstream(path("empty.cf32"));
  fs::create_directory(path("folder.cf32"));
  ASSERT_EQ(::mkfifo(path("fifo.cf32").c_str(), 0600), 0);
  auto meta = [&](const std::string& name, const std::string& global, const std::string& extra) {
    std::ofstream(path(name + ".sigmf-meta"))
        << R"({"global": {"core:datatype": "cf32_le", )" << global << R"(}, "captures": [)" << extra
        << R"(], "annotations": []})";
  };
  const CVec x = calc("--rate 12 --set OverSampling=2");
  CVec nan = capture(x, 40e6, 40e6, 1000, 40, 3);
  for (size_t k = 0; k < 10; ++k) nan[5000 + k] = cplx(std::nan(""), 0);
  write_cf32("nan.cf32", nan);
  write_cf32("fast.sigmf-data", nan);
  write_cf32("ok.sigmf-data", capture(x, 40e6, 40e6, 1000, 40, 3));
  meta("ok16", R"("core:sample_rate": 40e6)", "");
  {  // the same capture as 16-bit integers
    std::string t = fs::path(path("ok16.sigmf-meta")).string();
    std::ifstream in(t);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string m = ss.str();
    m.replace(m.find("cf32_le"), 7, "ci16_le");
    std::ofstream(t) << m;
    std::ofstream out(path("ok16.sigmf-data"), std::ios::binary);
    const CVec y = capture(x, 40e6, 40e6, 1000, 40, 3);
    const double scale = 8000 / std::sqrt(peak_power(y));
    for (const cplx& v : y) {
      const int16_t iq[2] = {static_cast<int16_t>(std::lround(v.real() * scale)),
                             static_cast<int16_t>(std::lround(v.imag() * scale))};
      out.write(reinterpret_cast<const char*>(iq), 4);
    }
  }
  meta("fast", R"("core:sample_rate": 1e15)", "");
  meta("ok", R"("core:sample_rate": 40e6)", R"({"core:sample_start": 0, "core:length": 1000000000000})");
  struct Case {
    std::string args;
    int code;
    std::string said;  // on standard error, or in the JSON's note
  };
  const Case cases[] = {
      {"empty.cf32 --format cf32 --sample-rate 40e6", 1, "holds no samples"},
      {"folder.cf32 --format cf32 --sample-rate 40e6", 1, "is a directory"},
      {"missing.cf32 --format cf32 --sample-rate 40e6", 1, "no such file"},
      {"fifo.cf32 --format cf32 --sample-rate 40e6", 1, "not a regular file"},
      {"nan.cf32 --format cf32 --sample-rate 40e6 --json", 1, "10 samples are not numbers"},
      {"fast.sigmf-meta", 1, "core:sample_rate 1e+15 Hz is outside 1 MHz to 5.5 THz"},
      {"ok.sigmf-meta --json", 0, "\"passed\": 3"},
      {"ok16.sigmf-meta --json", 0, "\"passed\": 3"},
      {"nan.cf32 --format cf32", 1, "does not carry its sample rate"},
      {"nan.cf32 --format cf32 --sample-rate 0", 2, "outside 1 MHz to 5.5 THz"},
      {"nan.cf32 --format cf32 --sample-rate 1e15", 2, "outside 1 MHz to 5.5 THz"},
      {"nan.cf32 --format cs8 --sample-rate 40e6", 2, "--format cs8"},
      {"nan.cf32 --format cf32 --sample-rate 40e6 --center-offset 25e6", 2, "outside the capture's band of +-2e+07 Hz"},
      {"nan.cf32 --format cf32 --sample-rate 2e9", 1, "above the 1 GHz a capture can be analysed at"},
  };
  for (const Case& c : cases) {
    const auto r = cli("analyze " + c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.out << r.err;
    EXPECT_NE((r.err + r.out).find(c.said), std::string::npos) << c.args << "\n" << r.out << r.err;
  }
}

// The analysis pictures of a capture at a rate no verify of our files
// takes (25 MHz): its packets drawn from the analyser's own decoding, the
// EVM rows agreeing with the packet's EVM in the analyser's report.
TEST_F(Analyze, PicturesOfACaptureComeFromTheAnalysis) {
  CVec x = calc("--rate 24 --set OverSampling=2");
  write_cf32("cap.sigmf-data", capture(x, 40e6, 25e6, 2000, 40, 9));
  std::ofstream(path("cap.sigmf-meta")) << nlohmann::json{
      {"global", {{"core:datatype", "cf32_le"}, {"core:sample_rate", 25e6}, {"core:version", "1.0.0"}}},
      {"captures", nlohmann::json::array()},
      {"annotations", nlohmann::json::array()}}.dump();
  int code = 0;
  const nlohmann::json j = analyze("cap.sigmf-meta", "", code);
  ASSERT_EQ(j["packets"].size(), 3u) << j.dump(1);
  ASSERT_TRUE(j["packets"][1]["decoded"].get<bool>()) << j.dump(1);
  const auto r = cli("plot evm cap.sigmf-meta --packet 2 --csv evm.csv");
  ASSERT_EQ(r.code, 0) << r.err;
  // The CSV's EVM per sub-carrier (dB, first two columns): the mean of
  // their powers is the square of the packet's rms EVM.
  std::ifstream in(path("evm.csv"));
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line.substr(0, 24), "Sub-carrier,EVM (dB),Sub");
  double sum = 0;
  size_t n = 0;
  while (std::getline(in, line)) {
    std::stringstream ss(line);
    std::string carrier, db;
    std::getline(ss, carrier, ',');
    std::getline(ss, db, ',');
    if (!carrier.empty()) sum += std::pow(10, std::stod(db) / 10), ++n;
  }
  ASSERT_EQ(n, 48u);
  const double evm = j["packets"][1]["evmPercent"].get<double>();
  EXPECT_NEAR(100 * std::sqrt(sum / double(n)), evm, 1e-6 * evm);
}

}  // namespace
}  // namespace tarvio
