// The one-pass export (sample total and peak known before the first chunk)
// against the two-pass writer: the same bytes from memory, and from a packet
// file whether its peak is given right, too high, too low or not at all, by
// one or more lanes; and nothing but the output is left behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

#include "export_drivers.h"
#include "export_header.h"
#include "export_writer.h"

namespace tarvio {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class OnePassTest : public ::testing::Test {
 protected:
  static constexpr size_t kPkt = 20011, kPkts = 5, kRows = 3;  // lanes read packets in pieces
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio_onepass_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const double values[7] = {2.4e9, 44e6, 0, 70, 0, 1, 2};
    header = make_export_header(values, 7, "one pass");
    std::mt19937 gen(11);
    std::normal_distribution<double> x(0, 0.3);
    for (size_t k = 0; k < kPkt * kPkts; ++k) {
      re.push_back(x(gen));
      im.push_back(x(gen));
    }
    re[50000] = -1.75;  // the peak, in packet 3
    for (size_t k = 0; k < kPkt * kRows; ++k) markers.push_back(double((k * 7) % 3 == 0));
    std::ofstream out(file("packets.bin"), std::ios::binary);
    for (size_t p = 0; p < kPkts; ++p)
      for (const auto* v : {&re, &im})
        for (size_t k = 0; k < kPkt; ++k) {
          const uint64_t b = ~std::bit_cast<uint64_t>((*v)[p * kPkt + k]);
          for (int j = 0; j < 8; ++j) out.put(char(uint8_t(b >> (8 * j))));
        }
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string file(const std::string& name) const { return (dir / name).string(); }

  // The two-pass writer fed packet by packet: the reference file.
  std::vector<uint8_t> two_pass() {
    std::vector<uint8_t> mbytes(kPkt * kRows);
    marker_values_to_bytes(markers.data(), mbytes.size(), mbytes.data());
    {
      TwoPassExportWriter w(file("ref.wfm"), "", header);
      EXPECT_TRUE(w.Begin(kRows));
      for (size_t p = 0; p < kPkts; ++p)
        EXPECT_TRUE(w.WriteChunk(&re[p * kPkt], &im[p * kPkt], mbytes.data(), kPkt, p + 1 == kPkts));
    }
    std::vector<uint8_t> b = bytes_of(file("ref.wfm"));
    fs::remove(file("ref.wfm"));
    return b;
  }

  fs::path dir;
  ExportHeader header;
  std::vector<double> re, im, markers;
};

TEST_F(OnePassTest, PacketFileWithAnyPeakGivesTheTwoPassFile) {
  const std::vector<uint8_t> want = two_pass();
  ASSERT_EQ(want.size(), 192 + 13 * kPkt * kPkts);
  for (size_t lanes : {1u, 2u, 3u})
    for (double peak : {1.75, 2.5, 0.5, -1.0}) {
      {
        TwoPassExportWriter w(file("out.wfm"), "", header);
        EXPECT_TRUE(export_from_packets(w, file("packets.bin"), kPkt, kPkts, markers.data(), kRows, peak, lanes));
      }
      EXPECT_EQ(bytes_of(file("out.wfm")), want) << "peak given " << peak << ", " << lanes << " lanes";
      std::vector<std::string> left;
      for (const auto& e : fs::directory_iterator(dir)) left.push_back(e.path().filename().string());
      std::sort(left.begin(), left.end());
      EXPECT_EQ(left, (std::vector<std::string>{"out.wfm", "packets.bin"}));
    }
}

TEST_F(OnePassTest, MemoryGivesTheTwoPassFileOfTheSameChunks) {
  // One packet's markers repeated, as from the packet file.
  std::vector<double> all;
  for (size_t p = 0; p < kPkts; ++p) all.insert(all.end(), markers.begin(), markers.end());
  std::vector<uint8_t> mbytes(all.size());
  marker_values_to_bytes(all.data(), all.size(), mbytes.data());
  {
    TwoPassExportWriter w(file("ref.wfm"), "", header);
    ASSERT_TRUE(w.Begin(kRows));
    ASSERT_TRUE(w.WriteChunk(re.data(), im.data(), mbytes.data(), re.size(), true));
  }
  {
    TwoPassExportWriter w(file("out.wfm"), "", header);
    ASSERT_TRUE(export_from_memory(w, re.data(), im.data(), re.size(), all.data(), kRows));
  }
  EXPECT_EQ(bytes_of(file("out.wfm")), bytes_of(file("ref.wfm")));
}

TEST_F(OnePassTest, ChunksBeyondTheAnnouncedTotalFail) {
  TwoPassExportWriter w(file("out.wfm"), "", header);
  ASSERT_TRUE(w.BeginKnown(0, 3, 1.75));
  EXPECT_TRUE(w.WriteChunk(re.data(), im.data(), nullptr, 2, false));
  EXPECT_FALSE(w.WriteChunk(re.data(), im.data(), nullptr, 2, true));
  EXPECT_FALSE(w.peak_mismatch());
}

// An infinite peak leaves the samples unscaled, so the quantiser sees
// values beyond the 16-bit range, infinities and NaN.
TEST(OnePassQuantiser, OutOfRangeInfiniteAndNaNValuesGetTheirCodes) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<double> re = {inf, 1.5, -2.0, nan, 0.25, -0.75, 1.0, -1.0, 1e-9, -inf};
  const std::vector<double> im(re.rbegin(), re.rend());
  const fs::path dir = fs::temp_directory_path() / ("tarvio_quantise_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string out = (dir / "q.wfm").string();
  {
    TwoPassExportWriter w(out, "", make_export_header(nullptr, 0, ""));
    ASSERT_TRUE(export_from_memory(w, re.data(), im.data(), re.size(), nullptr, 0));
  }
  const std::vector<uint8_t> f = bytes_of(out);
  fs::remove_all(dir);
  const size_t n = re.size();
  ASSERT_EQ(f.size(), 192 + 13 * n);
  // The plain definition: truncate toward zero, saturate, NaN gives 0; the
  // residual of a saturated or non-finite value is 0.
  auto sample = [](double v) -> int16_t {
    if (v >= -32768.0 && v <= 32767.0) return int16_t(v);
    return v > 0 ? 32767 : v < 0 ? -32768 : 0;
  };
  auto residual = [](double v, int16_t t) -> int32_t {
    const double r = (v - t) * 2147483647.0;
    return r > -2147483648.0 && r < 2147483648.0 ? int32_t(r) : 0;
  };
  auto le32 = [&](size_t at) {
    return int32_t(uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24);
  };
  for (size_t k = 0; k < n; ++k) {
    const double vi = re[k] * 32767.0, vq = im[k] * 32767.0;
    EXPECT_EQ(int16_t((f[192 + 4 * k] << 8) | f[193 + 4 * k]), sample(vi)) << "I " << k;
    EXPECT_EQ(int16_t((f[194 + 4 * k] << 8) | f[195 + 4 * k]), sample(vq)) << "Q " << k;
    EXPECT_EQ(le32(192 + 5 * n + 4 * k), residual(vi, sample(vi))) << "I residual " << k;
    EXPECT_EQ(le32(192 + 9 * n + 4 * k), residual(vq, sample(vq))) << "Q residual " << k;
  }
}

}  // namespace
}  // namespace tarvio
