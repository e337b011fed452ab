// tarvio-cli plot: pictures and numbers of the displays from every file
// kind verify reads, the averaged spectrum and gated CCDF by default (the
// desktop program's views on request), its usage and file errors, and the
// clear error (with the numbers still written) where the display module is
// missing.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/dac_res.h"
#include "runtime/matfile.h"

namespace fs = std::filesystem;

namespace tarvio {
namespace {

struct CliRun {
  int code = -1;
  std::string out, err;
};

class CliPlot : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "tarvio-plot-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  static bool have_module() { return fs::exists(std::string(TARVIO_BIN) + "/libtarvio-qtdisplays.so"); }

  CliRun run(const std::string& args, const std::string& cli = std::string(TARVIO_BIN) + "/tarvio-cli") const {
    const std::string err_file = path("stderr.txt");
    CliRun r;
    FILE* p = ::popen(("'" + cli + "' " + args + " 2>'" + err_file + "'").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream e(err_file);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    return r;
  }

  static std::vector<std::string> lines_of(const std::string& file) {
    std::ifstream in(file);
    std::vector<std::string> v;
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
  }

  // Width and height from a PNG file's header; {0, 0} when it is no PNG.
  static std::pair<uint32_t, uint32_t> png_size(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char h[24] = {};
    in.read(reinterpret_cast<char*>(h), sizeof h);
    if (!in || std::string(reinterpret_cast<char*>(h) + 1, 3) != "PNG") return {0, 0};
    auto be = [&](int at) {
      return uint32_t(h[at]) << 24 | uint32_t(h[at + 1]) << 16 | uint32_t(h[at + 2]) << 8 | h[at + 3];
    };
    return {be(16), be(20)};
  }

  fs::path dir_;
};

TEST_F(CliPlot, PicturesAndNumbersOfADumpFile) {
  ASSERT_EQ(run("calc --dump " + path("w.mat")).code, 0);
  const size_t n = mat_read_var(path("w.mat"), "waveform").numel();
  const double fs = mat_read_var(path("w.mat"), "sampleRate").to_double();
  ASSERT_EQ(fs, 44e6);

  const CliRun s = run("plot spectrum " + path("w.mat") + " --raw-periodogram --csv " + path("s.csv") + " --title T");
  ASSERT_EQ(s.code, 0) << s.err;
  const std::vector<std::string> spectrum = lines_of(path("s.csv"));
  ASSERT_EQ(spectrum.size(), n + 1);  // every bin, nothing reduced
  EXPECT_EQ(spectrum[0], "Frequency (MHz),LogMag (dB)");
  EXPECT_EQ(spectrum[1].substr(0, 4), "-22,");

  const CliRun c = run("plot ccdf " + path("w.mat") + " --ungated --csv " + path("c.csv"));
  ASSERT_EQ(c.code, 0) << c.err;
  const std::vector<std::string> ccdf = lines_of(path("c.csv"));
  ASSERT_EQ(ccdf.size(), 202u);
  EXPECT_EQ(ccdf[0], "dB above Average,Measured (%),Gaussian complex (%)");

  if (!have_module()) GTEST_SKIP() << "the display module is not built (no Qt 6)";
  for (const char* kind : {"spectrum", "iq", "iq-overlaid", "ccdf"}) {
    const std::string png = path(std::string(kind) + ".png");
    const CliRun r = run(std::string("plot ") + kind + " " + path("w.mat") + " --png " + png + " --size 480x360");
    ASSERT_EQ(r.code, 0) << kind << ": " << r.err;
    EXPECT_EQ(r.out, "written " + png + "\n");
    EXPECT_EQ(png_size(png), (std::pair<uint32_t, uint32_t>{480, 360})) << kind;
  }
}

// Export, raw (with --sample-rate) and SigMF files plot the same samples
// as the dump (to the raw file's 16 bits). By default the spectrum is
// averaged, its resolution bandwidth on the axis and far less grass than
// the periodogram's; the CCDF is over the bursts alone, whose 1 % level
// lies below that of the ungated curve, which the idle gaps raise.
TEST_F(CliPlot, EveryFileKindAndTheAnalyserViews) {
  ASSERT_EQ(run("calc --rate 54 --dump " + path("w.mat") + " --export " + path("w.exp") + " --raw " + path("w.raw") +
                " --sigmf " + path("rec"))
                .code,
            0);
  const size_t n = mat_read_var(path("w.mat"), "waveform").numel();
  auto column = [&](const std::string& csv, size_t col) {
    std::vector<double> v;
    const std::vector<std::string> rows = lines_of(csv);
    for (size_t r = 1; r < rows.size(); ++r) {
      std::stringstream ss(rows[r]);
      std::string cell;
      for (size_t c = 0; c <= col; ++c) std::getline(ss, cell, ',');
      v.push_back(cell.empty() ? NAN : std::stod(cell));
    }
    return v;
  };
  ASSERT_EQ(run("plot iq " + path("w.mat") + " --csv " + path("dump.csv")).code, 0);
  const std::vector<double> i_dump = column(path("dump.csv"), 1);
  for (const std::string f : {"w.exp", "rec.sigmf-meta", "w.raw --sample-rate 40e6"}) {
    const CliRun r = run("plot iq " + path(f) + " --csv " + path("x.csv"));
    ASSERT_EQ(r.code, 0) << f << ": " << r.err;
    const std::vector<double> i = column(path("x.csv"), 1);
    ASSERT_EQ(i.size(), n) << f;
    // Export and raw files are scaled to full range: compare shapes, each
    // relative to its own peak.
    double peak = 0, peak_dump = 0, worst = 0;
    for (size_t k = 0; k < n; ++k) peak = std::max(peak, std::abs(i[k])), peak_dump = std::max(peak_dump, std::abs(i_dump[k]));
    for (size_t k = 0; k < n; ++k) worst = std::max(worst, std::abs(i[k] / peak - i_dump[k] / peak_dump));
    EXPECT_LT(worst, 1e-3) << f;
  }
  EXPECT_EQ(run("plot iq " + path("w.raw") + " --csv " + path("x.csv")).code, 2);
  EXPECT_EQ(run("plot iq " + path("w.raw") + " --sample-rate 1e300 --csv " + path("x.csv")).code, 2);
  EXPECT_EQ(run("plot iq " + path("w.mat") + " --ungated --csv " + path("x.csv")).code, 2);

  ASSERT_EQ(run("plot spectrum " + path("w.mat") + " --csv " + path("welch.csv")).code, 0);
  ASSERT_EQ(run("plot spectrum " + path("w.mat") + " --raw-periodogram --csv " + path("raw.csv")).code, 0);
  EXPECT_EQ(lines_of(path("welch.csv"))[0], "Frequency (MHz)  RBW 117.2 kHz,LogMag (dB)");
  EXPECT_EQ(lines_of(path("welch.csv")).size(), 513u);
  // Grass: the mean step between neighbouring bins inside the band (1 to 8 MHz).
  auto grass = [&](const std::string& csv) {
    const std::vector<double> f = column(csv, 0), l = column(csv, 1);
    double sum = 0;
    size_t count = 0;
    for (size_t k = 1; k < f.size(); ++k)
      if (std::abs(f[k]) > 1 && std::abs(f[k]) < 8 && std::abs(f[k - 1]) > 1) sum += std::abs(l[k] - l[k - 1]), ++count;
    return sum / static_cast<double>(count);
  };
  EXPECT_LT(grass(path("welch.csv")), grass(path("raw.csv")) / 3);

  ASSERT_EQ(run("plot ccdf " + path("w.mat") + " --csv " + path("gated.csv")).code, 0);
  ASSERT_EQ(run("plot ccdf " + path("w.mat") + " --ungated --csv " + path("ungated.csv")).code, 0);
  EXPECT_EQ(lines_of(path("gated.csv"))[0], "dB above Average,Measured in bursts (%),Gaussian complex (%)");
  auto level_at_1_percent = [&](const std::string& csv) {
    const std::vector<double> l = column(csv, 0), p = column(csv, 1);
    for (size_t k = 0; k < l.size(); ++k)
      if (!(p[k] >= 1)) return l[k];
    return std::nan("");
  };
  EXPECT_LT(level_at_1_percent(path("gated.csv")), level_at_1_percent(path("ungated.csv")) - 1);
}

// The analyser's pictures of one packet: EVM per sub-carrier and per
// symbol whose mean of squares is verify's rms EVM of that packet, the
// spectrum with its mask line, the constellation; bad packet numbers, a
// file without packets and a rate that is not given are refused.
TEST_F(CliPlot, AnalysisPicturesOfOnePacket) {
  ASSERT_EQ(run("calc --rate 24 --set numberOfPackets=2 --set dataSourceType=5 --set Impairments.SNR=30 --dump " +
                path("w.mat"))
                .code,
            0);
  const CliRun v = run("verify --json " + path("w.mat"));
  ASSERT_EQ(v.code, 0) << v.err;
  // The second packet's rms EVM (%).
  const size_t first = v.out.find("\"evmPercent\": "), second = v.out.find("\"evmPercent\": ", first + 1);
  ASSERT_NE(second, std::string::npos);
  const double evm = std::stod(v.out.substr(second + 14));

  const CliRun e = run("plot evm " + path("w.mat") + " --packet 2 --csv " + path("e.csv"));
  ASSERT_EQ(e.code, 0) << e.err;
  const std::vector<std::string> rows = lines_of(path("e.csv"));
  ASSERT_GT(rows.size(), 49u);
  EXPECT_EQ(rows[0], "Sub-carrier,EVM (dB),Sub-carrier,limit (dB),DATA symbol,EVM (dB),DATA symbol,limit (dB)");
  double carriers = 0, symbols = 0;
  size_t nc = 0, ns = 0;
  for (size_t r = 1; r < rows.size(); ++r) {
    double c = NAN, ec = NAN, s = NAN, es = NAN;
    std::stringstream ss(rows[r]);
    std::string cell[6];
    for (auto& cl : cell) std::getline(ss, cl, ',');
    if (!cell[0].empty()) c = std::stod(cell[0]), ec = std::stod(cell[1]);
    if (!cell[4].empty()) s = std::stod(cell[4]), es = std::stod(cell[5]);
    if (std::isfinite(c)) carriers += std::pow(10, ec / 10), ++nc;
    if (std::isfinite(s)) symbols += std::pow(10, es / 10), ++ns;
  }
  EXPECT_EQ(nc, 48u);
  EXPECT_NEAR(100 * std::sqrt(carriers / static_cast<double>(nc)), evm, 1e-6 * evm);
  EXPECT_NEAR(100 * std::sqrt(symbols / static_cast<double>(ns)), evm, 1e-6 * evm);

  ASSERT_EQ(run("plot mask " + path("w.mat") + " --csv " + path("m.csv")).code, 0);
  EXPECT_EQ(lines_of(path("m.csv"))[0].substr(0, 45), "Frequency (MHz)  RBW 117.2 kHz,Level (dBr),Ma");
  ASSERT_EQ(run("plot constellation " + path("w.mat") + " --csv " + path("c.csv")).code, 0);
  EXPECT_EQ(lines_of(path("c.csv"))[0], "In-phase,Q measured,In-phase,Q sent");

  // Refused: packet numbers the file does not have, an option of another
  // display, a raw file without its rate (usage, 2); a file with no packet (1).
  for (const std::string bad : {"--packet 3", "--packet 0", "--packet 1x", "--packet -1"})
    EXPECT_EQ(run("plot evm " + path("w.mat") + " " + bad + " --csv " + path("x.csv")).code, 2) << bad;
  EXPECT_EQ(run("plot spectrum " + path("w.mat") + " --packet 1 --csv " + path("x.csv")).code, 2);
  {
    std::ofstream zeros(path("z.raw"), std::ios::binary);
    for (int k = 0; k < 40000; ++k) zeros.put('\x80').put('\0');
  }
  EXPECT_EQ(run("plot mask " + path("z.raw") + " --csv " + path("x.csv")).code, 2);
  const CliRun none = run("plot mask " + path("z.raw") + " --sample-rate 20e6 --csv " + path("x.csv"));
  EXPECT_EQ(none.code, 1);
  EXPECT_NE(none.err.find("no packet found"), std::string::npos) << none.err;
  EXPECT_FALSE(fs::exists(path("x.csv")));

  if (!have_module()) GTEST_SKIP() << "the display module is not built (no Qt 6)";
  for (const char* kind : {"constellation", "evm", "mask"}) {
    const std::string png = path(std::string(kind) + ".png");
    const CliRun r = run(std::string("plot ") + kind + " " + path("w.mat") + " --packet 2 --png " + png);
    ASSERT_EQ(r.code, 0) << kind << ": " << r.err;
    EXPECT_EQ(png_size(png), (std::pair<uint32_t, uint32_t>{1000, 700})) << kind;
  }
}

TEST_F(CliPlot, SaveWaveFileShowsTheQuantisedSamples) {
  ASSERT_EQ(run("calc --rate 54 --save-wave " + path("sw.mat")).code, 0);
  const CVec q = ApplyDacRes(mat_read_var(path("sw.mat"), "wave").to_complex(), 14);
  const CliRun r = run("plot iq-overlaid " + path("sw.mat") + " --csv " + path("iq.csv"));
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<std::string> rows = lines_of(path("iq.csv"));
  ASSERT_EQ(rows.size(), q.size() + 1);
  ASSERT_EQ(rows[0].substr(0, 5), "Time ");
  // The columns are in the header's units: find the voltage unit's factor.
  const double scale = rows[0].find("I (mV)") != std::string::npos ? 1e3 : 1;
  for (size_t k : {size_t(400), size_t(1000), q.size() - 1}) {
    double t, i, qq;
    ASSERT_EQ(std::sscanf(rows[k + 1].c_str(), "%lf,%lf,%lf", &t, &i, &qq), 3) << rows[k + 1];
    EXPECT_DOUBLE_EQ(i, q[k].real() * scale) << k;
    EXPECT_DOUBLE_EQ(qq, q[k].imag() * scale) << k;
  }
}

TEST_F(CliPlot, UsageAndFileErrors) {
  mat_write(path("other.mat"), {{"x", Value(1.0)}, {"sampleRate", Value(1.0)}});
  mat_write(path("matrix.mat"), {{"wave", Value::real(2, 2, {1, 2, 3, 4})}, {"sampleRate", Value(1.0)}});
  mat_write(path("norate.mat"), {{"wave", Value::row(std::vector<double>{1, 2})}, {"sampleRate", Value(-5.0)}});
  const struct {
    std::string args;
    int code;
    const char* in_err;
  } cases[] = {
      {"plot eye " + path("other.mat") + " --csv x", 2, "'eye' is not a display"},
      {"plot spectrum " + path("other.mat"), 2, "--png OUT.png and/or --csv"},
      {"plot spectrum " + path("other.mat") + " --png x.png --size 50x50", 2, "100 ... 20000"},
      {"plot spectrum " + path("other.mat") + " --csv x --size big", 2, "WIDTHxHEIGHT"},
      {"plot spectrum " + path("other.mat") + " --csv " + path("x.csv"), 1, "neither `waveform`"},
      {"plot iq " + path("matrix.mat") + " --csv " + path("x.csv"), 1, "row or column of samples"},
      {"plot iq " + path("norate.mat") + " --csv " + path("x.csv"), 1, "one positive number"},
      {"plot iq " + path("none.mat") + " --csv " + path("x.csv"), 1, "no such file"},
  };
  for (const auto& c : cases) {
    const CliRun r = run(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.in_err), std::string::npos) << c.args << "\n" << r.err;
  }
  EXPECT_FALSE(fs::exists(path("x.csv")));
}

TEST_F(CliPlot, MissingDisplayModuleIsNamedAndNumbersStillWork) {
  // tarvio-cli and its libraries without the display module, as a build
  // without Qt leaves them.
  fs::create_directory(path("bin"));
  for (const auto& e : fs::directory_iterator(TARVIO_BIN)) {
    const std::string name = e.path().filename().string();
    const bool library = name.find(".so") != std::string::npos;  // also the versioned names of the core library
    if (name == "tarvio-cli" || (library && name != "libtarvio-qtdisplays.so"))
      fs::copy_file(e.path(), path("bin/") + name);
  }
  ASSERT_EQ(run("calc --dump " + path("w.mat")).code, 0);
  const std::string cli = path("bin/tarvio-cli");
  const CliRun png = run("plot ccdf " + path("w.mat") + " --png " + path("c.png"), cli);
  EXPECT_EQ(png.code, 1);
  EXPECT_NE(png.err.find("--png needs the display module libtarvio-qtdisplays.so"), std::string::npos) << png.err;
  EXPECT_NE(png.err.find("Qt 6 (qt6-base-dev)"), std::string::npos) << png.err;
  EXPECT_FALSE(fs::exists(path("c.png")));
  const CliRun csv = run("plot ccdf " + path("w.mat") + " --csv " + path("c.csv"), cli);
  EXPECT_EQ(csv.code, 0) << csv.err;
  EXPECT_EQ(lines_of(path("c.csv")).size(), 202u);
}

}  // namespace
}  // namespace tarvio
