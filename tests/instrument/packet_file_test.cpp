// Codes 10 and 11 of the transport module, checked from the bytes they leave
// in the packet file and its marker side file, and the reader that download,
// export and dump use.
#include "instrument/packet_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "ended_process.h"
#include "instrument/hwio.h"

namespace fs = std::filesystem;
using namespace tarvio;

namespace {

std::vector<uint8_t> file_bytes(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// The complemented little-endian bytes of an IEEE-754 bit pattern, written
// out from the pattern itself (not through the code under test).
std::vector<uint8_t> complemented_le(uint64_t pattern) {
  std::vector<uint8_t> b;
  for (int k = 0; k < 8; ++k) b.push_back(static_cast<uint8_t>(~(pattern >> (8 * k)) & 0xff));
  return b;
}

class PacketFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio_pkt_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    path = (dir / "pkt.bin").string();
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  std::string path;
};

// IEEE-754 binary64 patterns of a few exactly representable values.
struct Known {
  double value;
  uint64_t pattern;
};
const Known kKnown[] = {{1.0, 0x3FF0000000000000ull}, {-2.5, 0xC004000000000000ull},  {0.0, 0ull},
                        {0.5, 0x3FE0000000000000ull}, {-0.75, 0xBFE8000000000000ull}, {3.0, 0x4008000000000000ull}};

}  // namespace

TEST_F(PacketFileTest, Code11StoresIThenQAsComplementedLittleEndianDoubles) {
  hwio::call(10, {Value(""), Value(path)});
  // Packet 1: I = {1, -2.5, 0}, Q = {0.5, -0.75, 3}; packet 2: I and Q swapped.
  CVec p1 = {{1.0, 0.5}, {-2.5, -0.75}, {0.0, 3.0}};
  CVec p2 = {{0.5, 1.0}, {-0.75, -2.5}, {3.0, 0.0}};
  Markers m{{1, 0, 1}, {0, 1, 1}};
  hwio::call(11, {Value(""), Value::complex_row(p1), Value::markers(m), Value(path)});
  hwio::call(11, {Value(""), Value::complex_row(p2), Value::markers(m), Value(path)});

  std::vector<uint8_t> want;
  for (int idx : {0, 1, 2, 3, 4, 5, 3, 4, 5, 0, 1, 2}) {
    auto b = complemented_le(kKnown[idx].pattern);
    want.insert(want.end(), b.begin(), b.end());
  }
  EXPECT_EQ(file_bytes(path), want);
  // Side file: bit 0 = row 1, bit 1 = row 2, one byte per sample per packet.
  EXPECT_EQ(file_bytes(packet_file::marker_path(path)), (std::vector<uint8_t>{1, 2, 3, 1, 2, 3}));
}

TEST_F(PacketFileTest, Code11ReturnsLargestMagnitudeOfIOrQ) {
  hwio::call(10, {Value(""), Value(path)});
  CVec p = {{0.25, -0.1}, {0.2, -0.9}, {-0.6, 0.3}};
  auto r = hwio::call(11, {Value(""), Value::complex_row(p), Value::markers({{0, 0, 0}, {0, 0, 0}}), Value(path)});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_DOUBLE_EQ(r[0].to_double(), 0.9);
}

TEST_F(PacketFileTest, Code10EmptiesBothFiles) {
  hwio::call(10, {Value(""), Value(path)});
  hwio::call(11, {Value(""), Value::complex_row({{1, 1}}), Value::markers({{1}, {1}}), Value(path)});
  ASSERT_EQ(fs::file_size(path), 16u);
  hwio::call(10, {Value(""), Value(path)});
  EXPECT_EQ(fs::file_size(path), 0u);
  EXPECT_EQ(fs::file_size(packet_file::marker_path(path)), 0u);
}

TEST_F(PacketFileTest, ReaderReturnsPacketsAndRangesAsWritten) {
  hwio::call(10, {Value(""), Value(path)});
  const size_t n = 20000;  // spans several internal blocks
  std::vector<CVec> packets(3, CVec(n));
  std::vector<Markers> marks(3);
  for (size_t k = 0; k < 3; ++k) {
    marks[k].row1.resize(n);
    marks[k].row2.resize(n);
    for (size_t s = 0; s < n; ++s) {
      packets[k][s] = {std::sin(0.001 * s + k), std::cos(0.002 * s * (k + 1))};
      marks[k].row1[s] = (s + k) % 3 == 0;
      marks[k].row2[s] = s % 7 == 1;
    }
    hwio::call(11, {Value(""), Value::complex_row(packets[k]), Value::markers(marks[k]), Value(path)});
  }
  packet_file::Reader r(path, n);
  ASSERT_EQ(r.packet_count(), 3u);
  ASSERT_TRUE(r.has_markers());
  std::vector<double> i(n), q(n);
  std::vector<uint8_t> m(n);
  for (size_t k = 0; k < 3; ++k) {
    r.read(k, 0, n, i.data(), q.data(), m.data());
    for (size_t s = 0; s < n; ++s) {
      ASSERT_EQ(i[s], packets[k][s].real());
      ASSERT_EQ(q[s], packets[k][s].imag());
      ASSERT_EQ(m[s], marks[k].row1[s] | (marks[k].row2[s] << 1));
    }
  }
  r.read(1, 12345, 10, i.data(), q.data(), nullptr);
  EXPECT_EQ(i[0], packets[1][12345].real());
  EXPECT_EQ(q[9], packets[1][12354].imag());
  EXPECT_THROW(r.read(3, 0, 1, i.data(), q.data(), nullptr), std::out_of_range);
  EXPECT_THROW(r.read(0, n - 5, 6, i.data(), q.data(), nullptr), std::out_of_range);
}

TEST_F(PacketFileTest, BadArgumentsAreRaisedWithTheirReason) {
  hwio::call(10, {Value(""), Value(path)});
  // Marker columns must match the samples.
  EXPECT_THROW(
      hwio::call(11, {Value(""), Value::complex_row({{1, 0}, {0, 1}}), Value::markers({{1}, {0}}), Value(path)}),
      std::runtime_error);
  // A packet file in a folder that does not exist.
  EXPECT_THROW(hwio::call(10, {Value(""), Value((dir / "missing" / "x.bin").string())}), std::runtime_error);
  // Missing arguments.
  EXPECT_THROW(hwio::call(11, {Value("")}), std::runtime_error);
}

TEST_F(PacketFileTest, StaleFilesOfEndedRunsAreRemovedOthersStay) {
  const std::string dead = std::to_string(tarvio::testing::ended_process_id());
  const std::string alive = std::to_string(::getpid());
  const std::vector<std::string> stale = {
      "tarvio-" + dead + "-packets.bin",      "tarvio-" + dead + "-packets.bin.markers",
      "tarvio-" + dead + "-packets.bin.kept", "tarvio-" + dead + "-packets.bin.markers.kept",
      "tarvio-download-" + dead + ".bin",     "tarvio-download-" + dead + ".bin.markers"};
  std::vector<std::string> kept = {
      "tarvio-" + alive + "-packets.bin",  // a run still going
      "tarvio-" + dead + "-packets.bin.other", "tarvio-" + dead + "-packets.binx",
      "tarvio-x" + dead + "-packets.bin",      "tarvio--packets.bin",
      "my-tarvio-" + dead + "-packets.bin",    "tarvio-download-" + dead + ".bin.partial",
  };
  for (const auto& n : stale) std::ofstream(dir / n) << "left";
  for (const auto& n : kept) std::ofstream(dir / n) << "left";
  if (::geteuid() == 0) {  // another user's file of our pattern stays
    const std::string others = "tarvio-download-" + dead + ".bin.kept";
    std::ofstream(dir / others) << "left";
    ASSERT_EQ(::chown((dir / others).c_str(), 12345, 12345), 0);
    kept.push_back(others);
  }
  // Of our names but not regular files: a folder and a link stay.
  const std::string dead2 = std::to_string(tarvio::testing::ended_process_id());
  fs::create_directory(dir / ("tarvio-" + dead2 + "-packets.bin"));
  fs::create_symlink("elsewhere", dir / ("tarvio-" + dead2 + "-packets.bin.markers"));
  kept.push_back("tarvio-" + dead2 + "-packets.bin");
  kept.push_back("tarvio-" + dead2 + "-packets.bin.markers");

  EXPECT_EQ(packet_file::remove_stale(dir.string()), int(stale.size()));
  for (const auto& n : kept) EXPECT_TRUE(fs::exists(fs::symlink_status(dir / n))) << n;
  for (const auto& n : stale) EXPECT_FALSE(fs::exists(dir / n)) << n;
}

TEST(HwioModule, UnknownCodeGivesNonZeroStatusAndText) {
  auto r = hwio::call(42, {});
  ASSERT_EQ(r.size(), 2u);
  EXPECT_NE(r[0].to_double(), 0.0);
  EXPECT_NE(r[1].str().find("unknown operation code 42"), std::string::npos);
}
