// The run-long packet writer against the transport module's code 11: the
// same packets give the same packet file, side file and peaks, also for
// signed zeros, NaN, packets without markers, packets longer than one
// write piece and repeated packets.
#include "instrument/packet_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

#include "instrument/hwio.h"
#include "instrument/packet_file.h"

namespace fs = std::filesystem;
using namespace tarvio;

namespace {

std::vector<uint8_t> file_bytes(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct Packet {
  CVec w;
  Markers m;
};

std::vector<Packet> packets() {
  std::mt19937 gen(3);
  std::normal_distribution<double> x;
  std::vector<Packet> out;
  for (size_t n : {5u, 20000u, 3u}) {
    Packet p;
    for (size_t k = 0; k < n; ++k) {
      p.w.emplace_back(x(gen), x(gen));
      p.m.row1.push_back(uint8_t(k % 3 == 0));
      p.m.row2.push_back(uint8_t(k % 2));
    }
    out.push_back(p);
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  out.push_back({{{-0.0, 0.0}, {nan, -0.25}, {0.5, -nan}}, {}});  // no marker rows
  return out;
}

TEST(PacketWriter, WritesWhatCode11WritesAndReturnsItsPeaks) {
  const fs::path dir = fs::temp_directory_path() / ("tarvio_pw_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string a = (dir / "code11.bin").string(), b = (dir / "writer.bin").string();
  hwio::call(10, {Value(""), Value(a)});
  packet_file::clear(b);
  {
    packet_file::Writer w(b);
    for (const Packet& p : packets()) {
      const std::vector<Value> r = hwio::call(11, {Value(""), Value::complex_row(p.w), Value::markers(p.m), Value(a)});
      EXPECT_EQ(w.append(p.w.data(), p.w.size(), p.m), r.at(0).to_double());
    }
    const Packet last = packets().back();
    hwio::call(11, {Value(""), Value::complex_row(last.w), Value::markers(last.m), Value(a)});
    hwio::call(11, {Value(""), Value::complex_row(last.w), Value::markers(last.m), Value(a)});
    w.append(last.w.data(), last.w.size(), last.m);
    w.append(last.w.data(), last.w.size(), last.m);
    EXPECT_THROW(w.append(last.w.data(), last.w.size(), packets()[0].m), std::invalid_argument);
    w.close();
  }
  EXPECT_EQ(file_bytes(b), file_bytes(a));
  EXPECT_EQ(file_bytes(packet_file::marker_path(b)), file_bytes(packet_file::marker_path(a)));
  EXPECT_THROW(packet_file::Writer((dir / "no" / "such.bin").string()), std::runtime_error);
  fs::remove_all(dir);
}

}  // namespace
