// tarvio-cli download against the simulated instrument: waveform files made
// earlier played bit for bit without recalculating, the connection settings
// of rfIOConfig.mat (written by tarvio-cli config) with the options over
// them, RS-232 on a pseudo-terminal, and the estimate and refusal texts.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "files/export_file_reader.h"
#include "hosts/cli_run.h"
#include "instrument/sim_process.h"

using namespace tarvio;
using namespace tarvio::testing;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> bytes_of(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void put16(std::vector<uint8_t>& out, int v) {
  out.push_back(uint8_t(uint16_t(v) >> 8));
  out.push_back(uint8_t(uint16_t(v) & 0xff));
}

class CliDownload : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir.path() / "store"); }
  std::vector<std::string> sim_args(std::vector<std::string> extra = {}) const {
    std::vector<std::string> a = {"--log", dir / "sim.log", "--store", dir / "store"};
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  }
  std::vector<uint8_t> stored(const std::string& name) const { return bytes_of(dir / ("store/" + name)); }
  TempDir dir;
};

// An export file, a dump, a Save Wave file and a SigMF recording of one
// calculation, each sent with --file: the instrument holds the export
// file's samples restored from their words and residuals, the MAT files'
// samples exactly as a download of the calculation sends them, and the
// SigMF samples scaled to full range.
TEST_F(CliDownload, FilesMadeEarlierArePlayedAsTheyAre) {
  CliResult r = run_cli(
      {"calc", "--export", dir / "w.wfm", "--dump", dir / "d.mat", "--save-wave", dir / "s.mat", "--sigmf", dir / "g"});
  ASSERT_EQ(r.code, 0) << r.err;
  SimProcess sim(sim_args({"--port", "0"}));
  const std::vector<std::string> lan = {"--address", sim.address(), "--yes"};
  auto download = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "download");
    args.insert(args.end(), lan.begin(), lan.end());
    return run_cli(args, dir.path().string());
  };
  r = download({"--sig", "Title=CALC"});
  ASSERT_EQ(r.code, 0) << r.err;

  r = download({"--file", dir / "w.wfm", "--sig", "Title=EXP"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.err, "(export file): 46880 samples at 44000000 Hz, markers from the file")) << r.err;
  ExportFileReader x(dir / "w.wfm");
  const size_t n = x.header().sample_count;
  std::vector<int16_t> i(n), q(n);
  std::vector<int32_t> ri(n), rq(n);
  std::vector<uint8_t> m(n), want_wfm, want_mkr;
  x.read(0, n, i.data(), q.data(), ri.data(), rq.data(), m.data());
  // Each 16-bit word with its residual, rounded half away from zero as the
  // transfer rounds a calculated waveform; within one step of the direct
  // download in I and Q together (the words alone, truncated toward zero,
  // are up to one step off in each).
  auto rounded = [](double s) { return int(s < 0 ? -std::floor(-s + 0.5) : std::floor(s + 0.5)); };
  for (size_t k = 0; k < n; ++k) {
    put16(want_wfm, rounded(i[k] + ri[k] / 2147483647.0));
    put16(want_wfm, rounded(q[k] + rq[k] / 2147483647.0));
    want_mkr.push_back(m[k] & 3);
  }
  EXPECT_TRUE(stored("EXP.wfm") == want_wfm);
  EXPECT_TRUE(stored("EXP.mkr") == want_mkr);
  const std::vector<uint8_t> played = stored("EXP.wfm"), calc = stored("CALC.wfm");
  ASSERT_EQ(played.size(), calc.size());
  auto word = [](const std::vector<uint8_t>& b, size_t at) { return int(int16_t(uint16_t(b[at] << 8 | b[at + 1]))); };
  double worst = 0;
  for (size_t at = 0; at < played.size(); at += 4)
    worst = std::max(worst, std::hypot(word(played, at) - word(calc, at), word(played, at + 2) - word(calc, at + 2)));
  EXPECT_LE(worst, 1.0);

  r = download({"--file", dir / "d.mat", "--sig", "Title=DUMP"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(stored("DUMP.wfm") == stored("CALC.wfm"));
  EXPECT_TRUE(stored("DUMP.mkr") == stored("CALC.mkr"));

  // Save Wave holds no markers: marker 2 over the whole waveform.
  r = download({"--file", dir / "s.mat", "--sig", "Title=SAVE"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(stored("SAVE.wfm") == stored("CALC.wfm"));
  EXPECT_TRUE(stored("SAVE.mkr") == std::vector<uint8_t>(n, 2));

  // SigMF: float32 samples, each scaled by the peak to 32767 and rounded
  // half away from zero; marker 2 over the annotated bursts.
  r = download({"--file", dir / "g.sigmf-meta", "--sig", "Title=SIGMF", "--sig", "SamplingRate=22e6"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<uint8_t> data = bytes_of(dir / "g.sigmf-data");
  ASSERT_EQ(data.size(), 8 * n);
  std::vector<float> f(2 * n);
  for (size_t k = 0; k < 2 * n; ++k)
    f[k] = std::bit_cast<float>(
        uint32_t(data[4 * k] | data[4 * k + 1] << 8 | data[4 * k + 2] << 16 | uint32_t(data[4 * k + 3]) << 24));
  double peak = 0;
  for (float v : f) peak = std::max(peak, std::fabs(double(v)));
  std::vector<uint8_t> want_sigmf;
  for (float v : f) {
    const double s = double(v) / peak * 32767.0;
    put16(want_sigmf, int(s < 0 ? -std::floor(-s + 0.5) : std::floor(s + 0.5)));
  }
  EXPECT_TRUE(stored("SIGMF.wfm") == want_sigmf);
  std::vector<uint8_t> bursts = stored("CALC.mkr");
  for (uint8_t& b : bursts) b &= 2;
  EXPECT_TRUE(stored("SIGMF.mkr") == bursts);

  // The file's sample rate is the playback clock unless --sig gives one.
  std::ifstream log(dir / "sim.log");
  const std::string text{std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
  EXPECT_TRUE(has(text, " :source:rad:arb:clock:srate 44000000Hz")) << text;
  EXPECT_TRUE(has(text, " :source:rad:arb:clock:srate 22000000Hz")) << text;

  r = download({"--file", dir / "w.wfm", "--rate", "54"});
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(has(r.err, "--rate cannot be given")) << r.err;
  r = download({"--file", dir / "nothing.wfm"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(has(r.err, "nothing.wfm")) << r.err;
}

// RS-232 on a pseudo-terminal: the Xon/Xoff default refuses binary data and
// says which option to use; --handshake rts sends the default waveform; the
// settings stored by config --save serve the next download in that folder.
TEST_F(CliDownload, SerialWithHandshakeOptionAndStoredSettings) {
  SimProcess sim(sim_args({"--pty"}));
  const std::string cwd = dir.path().string();
  CliResult r = run_cli({"download", "--serial", sim.pty(), "--yes"}, cwd);
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(has(r.err, "Xon/Xoff")) << r.err;
  EXPECT_TRUE(has(r.err, "use --handshake rts")) << r.err;

  r = run_cli({"download", "--serial", sim.pty(), "--handshake", "rts", "--yes"}, cwd);
  ASSERT_EQ(r.code, 0) << r.err;
  // The estimate and the question give the same time.
  EXPECT_TRUE(has(r.err, "9600 baud, RTS/CTS, estimated transfer time about 2.9 min")) << r.err;
  EXPECT_TRUE(has(r.err, "approximately 2.9 minutes")) << r.err;
  EXPECT_EQ(fs::file_size(dir.path() / "store/WLan.wfm"), 4u * 46880);

  r = run_cli({"config", "--set", "RS232.handshake=RTS/CTS", "--set", "RS232.baudrate=115200", "--save"}, cwd);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.err, "wrote rfIOConfig.mat")) << r.err;
  r = run_cli({"config"}, cwd);
  EXPECT_TRUE(has(r.out, "rfIOConfig.mat in the working folder")) << r.out;
  EXPECT_TRUE(has(r.out, "RS232.handshake        \"RTS/CTS\"")) << r.out;
  fs::remove(dir.path() / "store/WLan.wfm");
  r = run_cli({"download", "--serial", sim.pty(), "--sig", "Title=STORED"}, cwd);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.err, "115200 baud, RTS/CTS")) << r.err;
  EXPECT_TRUE(fs::exists(dir.path() / "store/STORED.wfm"));
}

// A file larger than the instrument's memory is refused before anything is
// copied or sent (the data file here is sparse: no disk space is used).
TEST_F(CliDownload, FileLargerThanTheMemoryIsRefused) {
  std::ofstream(dir / "big.sigmf-meta") << R"({"global": {"core:datatype": "ci16_le", "core:sample_rate": 1e6}})";
  std::ofstream(dir / "big.sigmf-data").close();
  fs::resize_file(dir / "big.sigmf-data", 4ull * 8000001);
  const CliResult r = run_cli({"download", "--file", dir / "big", "--memory", "MEM-A", "--address", "127.0.0.1:1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(
      has(r.err, "holds 8000001 samples, more than the 8000000 the signal generator's sample memory holds (MEM-A;"))
      << r.err;
}

TEST_F(CliDownload, TransferProgressOnATerminal) {
  SimProcess sim(sim_args({"--port", "0"}));
  const CliResult r =
      run_cli_on_terminal({"download", "--set", "numberOfPackets=3", "--address", sim.address(), "--yes"});
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_TRUE(has(r.out, "Calculating: packet 1 of 3, 0 of 140640 samples")) << r.out;
  EXPECT_TRUE(has(r.out, "Transferring: ")) << r.out;
  EXPECT_TRUE(has(r.out, " of 140640 samples, 0:0")) << r.out;
  EXPECT_TRUE(has(r.out, "Download Completed")) << r.out;
}

TEST_F(CliDownload, StoredLanSettingsAndTheirChecks) {
  SimProcess sim(sim_args({"--port", "0"}));
  const std::string cwd = dir.path().string();
  CliResult r = run_cli({"config", "--set", "type=TCPIP", "--set", "TCPIP.address=" + sim.address(), "--save"}, cwd);
  ASSERT_EQ(r.code, 0) << r.err;
  r = run_cli({"ping"}, cwd);
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_TRUE(has(r.out, "KXQ7R2")) << r.out;
  r = run_cli({"ping", "--gpib", "0:31"}, cwd);  // options over the stored record
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(has(r.err, "--gpib ADDRESS takes a whole number from 0 to 30")) << r.err;
  r = run_cli({"config", "--set", "GPIB.primary=31"}, cwd);
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(has(r.err, "configuration.GPIB.primary = 31 is not allowed")) << r.err;
  r = run_cli({"config", "--set", "RS232.handshake=Xon"}, cwd);
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(has(r.err, "\"None\", \"Xon/Xoff\" (software) or \"RTS/CTS\" (hardware)")) << r.err;
}

}  // namespace
