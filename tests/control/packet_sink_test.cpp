// The packet sink writes the same file, log and peaks with and without its
// threads, and hands a failure back to the driver with the packets before it.
#include "control/packet_sink.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "instrument/packet_file.h"

namespace fs = std::filesystem;
using namespace tarvio;

namespace {

std::vector<uint8_t> file_bytes(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

Frame frame(size_t n, double scale) {
  Frame f;
  for (size_t k = 0; k < n; ++k) {
    f.waveform.emplace_back(scale * double(k % 7), -scale * double(k % 5));
    f.markers.row1.push_back(uint8_t(k == 0));
    f.markers.row2.push_back(uint8_t(k < n / 2));
  }
  return f;
}

struct SinkRun {
  std::vector<uint8_t> bytes, marks;
  PacketSink::Result result;
  size_t logged = 0;
};

// Twenty packets, most made by the sink's generating threads (if any),
// some given made, with copies in between.
SinkRun write(const std::string& path, unsigned generators) {
  packet_file::clear(path);
  PacketLog log;
  SinkRun r;
  {
    PacketSink sink(path, log, generators);
    for (int k = 0; k < 20; ++k) {
      if (k % 5 == 1)
        sink.push(frame(100 + size_t(k % 3), 0.1 * (k + 1)));
      else
        sink.push([k] { return frame(100 + size_t(k % 3), 0.1 * (k + 1)); });
      if (k % 4 == 0) sink.repeat(2);
    }
    r.result = sink.finish();
  }
  r.bytes = file_bytes(path);
  r.marks = file_bytes(packet_file::marker_path(path));
  r.logged = log.packets();
  return r;
}

class PacketSinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio_sink_" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(PacketSinkTest, ThreadedAndInlineWritingGiveTheSameFileAndResults) {
  const SinkRun a = write((dir / "a.bin").string(), 0);
  const SinkRun b = write((dir / "b.bin").string(), 3);
  EXPECT_EQ(a.bytes, b.bytes);
  EXPECT_EQ(a.marks, b.marks);
  EXPECT_EQ(a.logged, 30u);
  EXPECT_EQ(b.logged, 30u);
  ASSERT_EQ(b.result.pushed.size(), 20u);
  for (size_t k = 0; k < 20; ++k) {
    EXPECT_EQ(a.result.pushed[k].peak, b.result.pushed[k].peak);
    EXPECT_EQ(b.result.pushed[k].peak, 0.1 * double(k + 1) * 6.0);
    EXPECT_EQ(b.result.pushed[k].samples, 100 + k % 3);
  }
  EXPECT_EQ(b.result.last.waveform, frame(101, 0.1 * 20).waveform);
}

TEST_F(PacketSinkTest, AFailureReachesTheDriverAndKeepsThePacketsBeforeIt) {
  for (unsigned generators : {0u, 2u})
    for (bool in_writer : {false, true}) {
      const std::string path = (dir / "f.bin").string();
      packet_file::clear(path);
      PacketLog log;
      PacketSink sink(path, log, generators);
      EXPECT_THROW(
          {
            for (int k = 0; k < 8; ++k)
              sink.push([k, in_writer] {
                Frame f = frame(10, 1);
                if (k == 3 && in_writer) f.markers.row2.pop_back();  // rows of different lengths
                if (k == 3 && !in_writer) throw std::runtime_error("generator failed");
                return f;
              });
            sink.finish();
          },
          std::exception)
          << generators << " generators, failure in the " << (in_writer ? "writer" : "generator");
      const PacketSink::Result r = sink.drain();
      EXPECT_EQ(r.pushed.size(), 3u);
      EXPECT_EQ(log.packets(), 3u);
    }
}

}  // namespace
