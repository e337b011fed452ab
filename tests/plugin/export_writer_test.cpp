// The export writer and its drivers: chunking, peak scaling, residuals,
// marker bytes, header fields and temporary-file clean-up, checked against
// the byte layout documented in docs/export-file.md.
#include "export_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "export_drivers.h"
#include "export_header.h"
#include "file_size_limit.h"

namespace tarvio {
namespace {

namespace fs = std::filesystem;

// Documented layout: 192-byte header, then 4 bytes per sample, 1 marker byte
// per sample, then 4-byte I residuals and 4-byte Q residuals.
constexpr size_t kHeader = 192;

class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');  // parameterised names hold slashes
    dir_ = fs::temp_directory_path() / ("tarvio_writer_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~TempDir() { fs::remove_all(dir_); }
  std::string file(const std::string& name) const { return (dir_ / name).string(); }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path dir_;
};

std::vector<uint8_t> bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

int16_t sample_i(const std::vector<uint8_t>& f, size_t k) {
  return int16_t((f[kHeader + 4 * k] << 8) | f[kHeader + 4 * k + 1]);
}
int16_t sample_q(const std::vector<uint8_t>& f, size_t k) {
  return int16_t((f[kHeader + 4 * k + 2] << 8) | f[kHeader + 4 * k + 3]);
}
int32_t le32(const std::vector<uint8_t>& f, size_t at) {
  return int32_t(uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24);
}

ExportHeader default_header() {
  const double values[7] = {2.4e9, 44e6, 0, 70, 0, 0, 0};
  return make_export_header(values, 7, "test");
}

// Records the chunk sizes and last flags that reach the encoding step.
class SpyWriter : public TwoPassExportWriter {
 public:
  using TwoPassExportWriter::TwoPassExportWriter;
  void EncodeSamples(std::vector<uint8_t>& bytes, std::size_t n, bool last) override {
    chunks.emplace_back(n, last);
    TwoPassExportWriter::EncodeSamples(bytes, n, last);
  }
  std::vector<std::pair<size_t, bool>> chunks;
};

struct ChunkCase {
  size_t n;
  std::vector<std::pair<size_t, bool>> chunks;
};

void PrintTo(const ChunkCase& c, std::ostream* os) { *os << c.n << " samples"; }

class ChunkingTest : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(ChunkingTest, MemoryDriverWalksChunksOf50000AndFlagsTheLast) {
  TempDir dir;
  const ChunkCase& c = GetParam();
  std::vector<double> re(c.n), im(c.n), markers(2 * c.n, 0.0);
  for (size_t k = 0; k < c.n; ++k) re[k] = std::sin(0.001 * double(k)), im[k] = std::cos(0.001 * double(k));
  SpyWriter w(dir.file("out.wfm"), "", default_header());
  ASSERT_TRUE(export_from_memory(w, re.data(), im.data(), c.n, markers.data(), 2));
  EXPECT_EQ(w.chunks, c.chunks);
  EXPECT_EQ(w.sample_total(), c.n);
  EXPECT_EQ(fs::file_size(dir.file("out.wfm")), kHeader + 13 * c.n);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChunkingTest,
                         ::testing::Values(ChunkCase{120000, {{50000, false}, {50000, false}, {20000, true}}},
                                           ChunkCase{50000, {{50000, true}}},
                                           ChunkCase{50001, {{50000, false}, {1, true}}}, ChunkCase{1, {{1, true}}},
                                           ChunkCase{0, {{0, true}}}));

TEST(ExportScaling, PeakComponentBecomes32767AndResidualsRestoreTheValue) {
  TempDir dir;
  // Peak 0.5 in Q of sample 2; 0.25 maps to 16383.5, truncated to 16383.
  const std::vector<double> re = {0.1, 0.25, -0.3, 0.0};
  const std::vector<double> im = {-0.2, 0.0, -0.5, 0.4999};
  const std::vector<double> markers;
  const std::string out = dir.file("scale.wfm");
  {
    TwoPassExportWriter w(out, "", default_header());
    ASSERT_TRUE(export_from_memory(w, re.data(), im.data(), re.size(), markers.data(), 0));
  }
  const auto f = bytes_of(out);
  ASSERT_EQ(f.size(), kHeader + 13 * re.size());
  EXPECT_EQ(sample_q(f, 2), -32767);
  EXPECT_EQ(sample_i(f, 1), 16383);
  const size_t n = re.size();
  const size_t resi = kHeader + 5 * n, resq = resi + 4 * n;
  EXPECT_EQ(le32(f, resi + 4 * 1), 1073741823);  // 0.5 * 2147483647 truncated
  for (size_t k = 0; k < n; ++k) {
    // Independent reconstruction: integer + residual / (2^31 - 1), over 32767, times the peak.
    const double i = (sample_i(f, k) + le32(f, resi + 4 * k) / 2147483647.0) / 32767.0 * 0.5;
    const double q = (sample_q(f, k) + le32(f, resq + 4 * k) / 2147483647.0) / 32767.0 * 0.5;
    EXPECT_NEAR(i, re[k], 1e-12);
    EXPECT_NEAR(q, im[k], 1e-12);
    EXPECT_EQ(sample_i(f, k), int16_t(std::trunc(re[k] / 0.5 * 32767)));  // truncation toward zero
  }
}

TEST(ExportScaling, AllZeroWaveformIsWrittenUnscaled) {
  TempDir dir;
  const std::vector<double> zeros(10, 0.0);
  const std::string out = dir.file("zero.wfm");
  {
    TwoPassExportWriter w(out, "", default_header());
    ASSERT_TRUE(export_from_memory(w, zeros.data(), zeros.data(), zeros.size(), nullptr, 0));
  }
  const auto f = bytes_of(out);
  ASSERT_EQ(f.size(), kHeader + 13 * zeros.size());
  for (size_t k = kHeader; k < f.size(); ++k) ASSERT_EQ(f[k], 0) << "byte " << k;
}

struct MarkerCase {
  std::vector<double> rows;  // marker values of the one sample, row 1 first
  uint8_t byte;
};

void PrintTo(const MarkerCase& c, std::ostream* os) { *os << c.rows.size() << " rows -> " << int(c.byte); }

class MarkerByteTest : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(MarkerByteTest, BitRMinus1IsMarkerRowR) {
  TempDir dir;
  const MarkerCase& c = GetParam();
  const double re[2] = {0.5, 0.1}, im[2] = {0.0, 0.1};
  std::vector<double> markers(2 * c.rows.size(), 0.0);  // sample 0 carries the case, sample 1 nothing
  std::copy(c.rows.begin(), c.rows.end(), markers.begin());
  const std::string out = dir.file("mkr.wfm");
  {
    TwoPassExportWriter w(out, "", default_header());
    ASSERT_TRUE(export_from_memory(w, re, im, 2, markers.data(), c.rows.size()));
  }
  const auto f = bytes_of(out);
  ASSERT_EQ(f.size(), kHeader + 13 * 2);
  EXPECT_EQ(f[kHeader + 8 + 0], c.byte);
  EXPECT_EQ(f[kHeader + 8 + 1], 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, MarkerByteTest,
                         ::testing::Values(MarkerCase{{1, 0, 1}, 0b0101}, MarkerCase{{1, 1, 1, 1}, 0b1111},
                                           MarkerCase{{0, 1}, 0b0010},
                                           MarkerCase{{0, 0, 0, 1, 1, 1}, 0b1000},             // rows 5, 6 ignored
                                           MarkerCase{{}, 0}, MarkerCase{{0.7, 2}, 0b0010}));  // 0.7 truncates to 0

struct HeaderCase {
  std::vector<double> values;
  int8_t rf_blank;
  uint16_t polarity;
  double mod_atten;
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.values.size() << " values"; }

class HeaderFieldTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderFieldTest, SettingsVectorIsClampedIntoTheRecord) {
  TempDir dir;
  const HeaderCase& c = GetParam();
  const std::string out = dir.file("hdr.wfm");
  const double one = 1;
  {
    TwoPassExportWriter w(out, "opt", make_export_header(c.values.data(), c.values.size(), "0123456789abcdefghijkl"));
    ASSERT_TRUE(export_from_memory(w, &one, &one, 1, nullptr, 0));
  }
  const auto f = bytes_of(out);
  ASSERT_EQ(f.size(), kHeader + 13);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 8), "TVWFXPRT");
  EXPECT_EQ(int8_t(f[83]), c.rf_blank);
  EXPECT_EQ(uint16_t(f[86] | f[87] << 8), c.polarity);
  EXPECT_EQ(le32(f, 28), 4);  // residual mode
  EXPECT_EQ(le32(f, 16), 1);  // sample count (low word)
  uint64_t bits = 0;
  for (int k = 7; k >= 0; --k) bits = bits << 8 | f[72 + size_t(k)];
  EXPECT_EQ(std::bit_cast<double>(bits), c.mod_atten);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[108])), "0123456789abcdefgh");  // 18 characters used
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[88])), "opt");
}

INSTANTIATE_TEST_SUITE_P(Values, HeaderFieldTest,
                         ::testing::Values(HeaderCase{{1e9, 20e6, 0, 70, 3, 1, 6}, 4, 0x000F, 3},
                                           HeaderCase{{1e9, 20e6, 0, 70, -2, 0, -7}, -1, 0x0000, -2},
                                           HeaderCase{{1e9, 20e6, 0, 70, 0, 0, 2}, 2, 0x0000, 0},
                                           HeaderCase{{1e9, 20e6}, -1, 0xFF00, -1}));  // later fields keep defaults

struct RuleCase {
  std::vector<double> values;
  double frequency, sample_rate, scaling, mod_atten;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
  for (double v : c.values) *os << v << " ";
}

class HeaderEntryRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(HeaderEntryRuleTest, SettingsKeepToTheDialogsRanges) {
  const RuleCase& c = GetParam();
  const ExportHeader h = make_export_header(c.values.data(), c.values.size(), "");
  EXPECT_EQ(h.Frequency, c.frequency);
  EXPECT_EQ(h.SampleRate, c.sample_rate);
  EXPECT_EQ(h.Scaling, c.scaling);
  EXPECT_EQ(h.ModAtten, c.mod_atten);
}

const double kNaN = std::nan("");

INSTANTIATE_TEST_SUITE_P(
    Values, HeaderEntryRuleTest,
    ::testing::Values(RuleCase{{2.4e9, 160e6, 0, 85.555, 12.4}, 2.4e9, 160e6, 85.56, 12},  // rounded, rate kept
                      RuleCase{{-5, -1, 0, 500, 99}, 100e3, 1, 100, 40},                   // clamped
                      RuleCase{{kNaN, kNaN, 0, kNaN, kNaN}, 4e9, 100e6, 70, -1},           // NaN keeps the default
                      RuleCase{{1e13, 44e6, 0, -5, -2}, 1e12, 44e6, 1, -2}));              // -2: automatic

TEST(ExportWriterState, BeginTwiceAndChunksBeforeBeginAreRefused) {
  TempDir dir;
  TwoPassExportWriter w(dir.file("s.wfm"), "", default_header());
  const double x = 0.5;
  EXPECT_FALSE(w.WriteChunk(&x, &x, nullptr, 1, true));
  EXPECT_TRUE(w.Begin(0));
  EXPECT_FALSE(w.Begin(0));
}

// Bit-complemented little-endian doubles, a packet's I values then its Q values.
void append_packet(const std::string& path, const std::vector<double>& i, const std::vector<double>& q) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  for (const auto* v : {&i, &q})
    for (double x : *v) {
      const uint64_t b = ~std::bit_cast<uint64_t>(x);
      for (int k = 0; k < 8; ++k) out.put(char(uint8_t(b >> (8 * k))));
    }
}

TEST(ExportTemporaryFiles, OnlyTheOutputRemainsAfterSuccess) {
  TempDir dir;
  const std::string pkt = dir.file("packets.bin");
  append_packet(pkt, {0.1, -0.2, 0.3}, {0.0, 0.4, -0.1});
  append_packet(pkt, {0.2, -0.4, 0.6}, {0.0, 0.8, -0.2});
  const std::vector<double> markers = {1, 0, 0, 1, 1, 1};  // 2 x 3
  {
    SpyWriter w(dir.file("out.wfm"), "", default_header());
    ASSERT_TRUE(export_from_packets(w, pkt, 3, 2, markers.data(), 2));
    EXPECT_EQ(w.chunks, (std::vector<std::pair<size_t, bool>>{{3, false}, {3, true}}));
  }
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"out.wfm", "packets.bin"}));
  const auto f = bytes_of(dir.file("out.wfm"));
  ASSERT_EQ(f.size(), kHeader + 13 * 6);
  EXPECT_EQ(sample_q(f, 4), 32767);      // 0.8, in packet 2, is the peak of both packets
  EXPECT_EQ(sample_i(f, 1), -8191);      // -0.2 / 0.8 * 32767 = -8191.75, truncated toward zero
  EXPECT_EQ(f[kHeader + 24 + 3], 0b01);  // packet 2 repeats packet 1's markers
  EXPECT_EQ(f[kHeader + 24 + 4], 0b10);
}

struct FailureCase {
  const char* name;
  int packets_in_file;  // -1: no packet file at all
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class ExportFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ExportFailureTest, FailedExportLeavesNoFilesAndKeepsTheOldOutput) {
  TempDir dir;
  const std::string pkt = dir.file("packets.bin");
  for (int p = 0; p < GetParam().packets_in_file; ++p) append_packet(pkt, {0.1, 0.2}, {0.3, 0.4});
  { std::ofstream(dir.file("out.wfm")) << "old"; }
  const auto before = dir.entries();
  {
    TwoPassExportWriter w(dir.file("out.wfm"), "", default_header());
    EXPECT_FALSE(export_from_packets(w, pkt, 2, 3, nullptr, 0));
  }
  EXPECT_EQ(dir.entries(), before);
  EXPECT_EQ(bytes_of(dir.file("out.wfm")), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

INSTANTIATE_TEST_SUITE_P(Causes, ExportFailureTest,
                         ::testing::Values(FailureCase{"missing", -1}, FailureCase{"empty", 0},
                                           FailureCase{"short", 2}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ExportTemporaryFiles, UnwritableFolderFailsCleanly) {
  TempDir dir;
  const double x = 0.5;
  TwoPassExportWriter w(dir.file("no/such/folder/out.wfm"), "", default_header());
  EXPECT_FALSE(w.ok());
  EXPECT_FALSE(export_from_memory(w, &x, &x, 1, nullptr, 0));
}

// The host's clean-up table as the plug-in sees it: these stand in for the
// library's functions, which the writer finds by name.
std::map<int, std::string> g_registered;
int g_next_handle = 0;

TEST(ExportTemporaryFiles, ThePartialOutputIsOnTheHostsCleanupTableWhileItExists) {
  TempDir dir;
  g_registered.clear();
  {
    TwoPassExportWriter w(dir.file("t.wfm"), "", default_header());
    ASSERT_EQ(g_registered.size(), 1u);
    EXPECT_EQ(g_registered.begin()->second, w.partial_name());
    EXPECT_EQ(fs::path(w.partial_name()).parent_path(), fs::path(dir.file("t.wfm")).parent_path());
    const double x = 0.5;
    ASSERT_TRUE(export_from_memory(w, &x, &x, 1, nullptr, 0));
    EXPECT_TRUE(g_registered.empty());
  }
  {
    TwoPassExportWriter dropped(dir.file("u.wfm"), "", default_header());
    EXPECT_EQ(g_registered.size(), 1u);
  }
  EXPECT_TRUE(g_registered.empty());
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"t.wfm"});
}

TEST(ExportTemporaryFiles, TwoExportsOfOneNameDoNotShareTemporaries) {
  TempDir dir;
  std::vector<double> a(120000, 0.25), b(90000, -0.5);
  TwoPassExportWriter wa(dir.file("same.wfm"), "", default_header());
  TwoPassExportWriter wb(dir.file("same.wfm"), "", default_header());
  EXPECT_NE(wa.partial_name(), wb.partial_name());
  ASSERT_TRUE(wa.Begin(0) && wb.Begin(0));
  // Interleaved chunks, as two runs at the same time would write them.
  ASSERT_TRUE(wa.WriteChunk(a.data(), a.data(), nullptr, 60000, false));
  ASSERT_TRUE(wb.WriteChunk(b.data(), b.data(), nullptr, 90000, true));
  ASSERT_TRUE(wa.WriteChunk(a.data(), a.data(), nullptr, 60000, true));
  // The last rename leaves one complete file.
  EXPECT_EQ(fs::file_size(dir.file("same.wfm")), kHeader + 13 * 120000);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"same.wfm"});
}

TEST(ExportFailure, AFullDiskFailsWithTheFileAndTheReasonAndKeepsTheOldOutput) {
  TempDir dir;
  { std::ofstream(dir.file("full.wfm")) << "old"; }
  std::vector<double> re(200000, 0.1), im(200000, -0.1);
  std::string error;
  {
    testing::FileSizeLimit limit(256 * 1024);
    TwoPassExportWriter w(dir.file("full.wfm"), "", default_header());
    EXPECT_FALSE(export_from_memory(w, re.data(), im.data(), re.size(), nullptr, 0));
    error = w.error();
  }
  EXPECT_NE(error.find("'" + dir.file("full.wfm") + "': File too large"), std::string::npos) << error;
  EXPECT_EQ(bytes_of(dir.file("full.wfm")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"full.wfm"});
}

TEST(ExportFailure, AMissingPacketFileIsNamedInTheError) {
  TempDir dir;
  TwoPassExportWriter w(dir.file("p.wfm"), "", default_header());
  EXPECT_FALSE(export_from_packets(w, dir.file("none.bin"), 4, 2, nullptr, 0));
  EXPECT_EQ(w.error(), "cannot open the packet file '" + dir.file("none.bin") + "': No such file or directory");
}

TEST(ExportFileNames, ALongPathIsTakenWhole) {
  TempDir dir;
  // Over 253 characters in all, each folder and name within the system's limit.
  const std::string folder = dir.file(std::string(120, 'f')) + "/" + std::string(120, 'g');
  fs::create_directories(folder);
  const std::string out = folder + "/" + std::string(200, 'w') + ".wfm";
  ASSERT_GT(out.size(), 253u);
  const double x = 0.5;
  {
    TwoPassExportWriter w(out, "", default_header());
    ASSERT_TRUE(export_from_memory(w, &x, &x, 1, nullptr, 0)) << w.error();
  }
  EXPECT_TRUE(fs::exists(out));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace tarvio

extern "C" __attribute__((visibility("default"))) int tarvio_cleanup_register(const char* path) {
  tarvio::g_registered[tarvio::g_next_handle] = path;
  return tarvio::g_next_handle++;
}

extern "C" __attribute__((visibility("default"))) void tarvio_cleanup_forget(int handle) {
  tarvio::g_registered.erase(handle);
}
