// tarvio-cli as a user at a terminal and as a script see it: progress lines
// only on a terminal, one line per file written, --quiet, --version, the
// command line's own texts for the window's warnings, and the options that
// go through the window's entries (--idle-us, --ramp-us, --payload-file,
// --memory, --sigmf BASE.sigmf-meta).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "hosts/cli_run.h"
#include "runtime/matfile.h"

using namespace tarvio;
using namespace tarvio::testing;
namespace fs = std::filesystem;

namespace {

// The parameter set a calc run saved with --save-params.
Value saved_parameters(const std::string& file) { return mat_read_var(file, "fileParameters"); }
double field(const Value& p, const char* name) { return p.record().at(name).to_double(); }

TEST(CliTerminal, ProgressOnATerminalOnlyAndOneLinePerFile) {
  TempDir dir;
  const std::vector<std::string> args = {"calc",    "--set",  "numberOfPackets=12", "--raw", dir / "w.bin",
                                         "--sigmf", dir / "w"};
  const CliResult tty = run_cli_on_terminal(args);
  ASSERT_EQ(tty.code, 0) << tty.out;
  EXPECT_TRUE(has(tty.out, "Calculating: packet 1 of 12, 0 of 562560 samples, 0:00 elapsed")) << tty.out;
  EXPECT_TRUE(has(tty.out, "Writing " + (dir / "w.bin") + ": ")) << tty.out;
  EXPECT_TRUE(has(tty.out, "wrote " + (dir / "w.bin") + ": 2250240 bytes, 562560 samples at 44000000 Hz")) << tty.out;

  const CliResult pipe = run_cli(args);
  ASSERT_EQ(pipe.code, 0) << pipe.err;
  EXPECT_FALSE(has(pipe.err, "Calculating")) << pipe.err;
  EXPECT_FALSE(has(pipe.err, "\r")) << pipe.err;
  EXPECT_EQ(pipe.out, "");
  EXPECT_EQ(pipe.err, "wrote " + (dir / "w.bin") + ": 2250240 bytes, 562560 samples at 44000000 Hz\n" + "wrote " +
                          (dir / "w.sigmf-data") + ": 4500480 bytes, 562560 samples at 44000000 Hz\n" + "wrote " +
                          (dir / "w.sigmf-meta") + ": " + std::to_string(fs::file_size(dir / "w.sigmf-meta")) +
                          " bytes\n");

  const CliResult quiet = run_cli_on_terminal({"--quiet", "calc", "--raw", dir / "q.bin"});
  EXPECT_EQ(quiet.code, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_TRUE(fs::exists(dir / "q.bin"));
  const CliResult failing = run_cli({"calc", "--quiet", "--set", "MACheader.Contents.SeqCntrl.Active=0"});
  EXPECT_EQ(failing.code, 1);
  EXPECT_TRUE(has(failing.err, "Parameter Conflict Warning!")) << failing.err;  // errors stay
}

TEST(CliTerminal, VersionNamesTheLibraries) {
  const CliResult r = run_cli({"--version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.rfind("tarvio-cli 0.1.0 (", 0), 0u) << r.out;
  for (const char* lib : {"fftw-3", "matio 1.", "zlib 1.", "nlohmann_json 3."}) EXPECT_TRUE(has(r.out, lib)) << r.out;
}

// The window's texts for a long calculation and for a waveform larger than
// the instrument's memory become one line with the sizes.
TEST(CliTerminal, WindowTextsBecomeOneLineWithTheSizes) {
  const CliResult big = run_cli({"calc", "--set", "numberOfPackets=200", "--memory", "mem-a"});
  EXPECT_EQ(big.code, 1);
  EXPECT_TRUE(has(big.err, "Calculation Warning!: the waveform has 9376000 samples (200 packets)")) << big.err;
  EXPECT_TRUE(has(big.err,
                  "Size Error!: the waveform's 9376000 samples (200 packets) do not fit the signal "
                  "generator's sample memory of 8000000 samples (MEM-A;"))
      << big.err;
  EXPECT_FALSE(has(big.err, "status area")) << big.err;
  EXPECT_EQ(run_cli({"calc", "--memory", "MEM-D"}).code, 2);
}

TEST(CliTerminal, EntryOptionsInMicrosecondsAndPayloadFiles) {
  TempDir dir;
  CliResult r = run_cli({"calc", "--idle-us", "20", "--ramp-us", "1", "--save-params", dir / "b.mat"});
  ASSERT_EQ(r.code, 0) << r.err;
  Value p = saved_parameters(dir / "b.mat");
  EXPECT_EQ(field(p, "idleSamples"), 880);  // 20 us x 11 MHz x 4
  EXPECT_EQ(field(p, "rampLength"), 44);
  r = run_cli({"calc", "--rate", "6", "--idle-us", "10", "--save-params", dir / "a.mat"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(field(saved_parameters(dir / "a.mat"), "idleSamples"), 400);  // 10 us x 20 MHz x 2
  r = run_cli({"calc", "--idle-us", "200000", "--set", "numberOfPackets=1", "--memory", "MEM-C"});
  EXPECT_TRUE(has(r.err, "--idle-us 200000: the entry holds it at 100000 us")) << r.err;
  EXPECT_EQ(run_cli({"calc", "--idle-us", "soon"}).code, 2);

  std::ofstream(dir / "data.bin", std::ios::binary) << "\x81\x02\xF0";
  for (const char* order : {"left-msb", "right-msb"}) {
    r = run_cli({"calc", "--payload-file", dir / "data.bin", "--bit-order", order, "--save-params", dir / "u.mat"});
    ASSERT_EQ(r.code, 0) << r.err;
    p = saved_parameters(dir / "u.mat");
    EXPECT_EQ(field(p, "dataSourceType"), 7);
    EXPECT_EQ(field(p, "dataLength"), 3);
    const std::vector<double> want_left = {1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 1, 1, 1, 1, 0, 0, 0, 0};
    std::vector<double> want = want_left;
    if (std::string(order) == "right-msb")
      for (size_t k = 0; k < 3; ++k) std::reverse(want.begin() + 8 * k, want.begin() + 8 * k + 8);
    EXPECT_EQ(p.record().at("dataSourceBitstream").to_reals(), want) << order;
  }
  EXPECT_EQ(run_cli({"calc", "--payload-file", dir / "data.bin", "--bit-order", "middle"}).code, 2);
}

TEST(CliTerminal, SigmfNamedByItsMetadataFile) {
  TempDir dir;
  const CliResult r = run_cli({"calc", "--sigmf", dir / "rec.sigmf-meta"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "rec.sigmf-meta"));
  EXPECT_TRUE(fs::exists(dir / "rec.sigmf-data"));
  EXPECT_FALSE(fs::exists(dir / "rec.sigmf-meta.sigmf-data"));
}

}  // namespace
