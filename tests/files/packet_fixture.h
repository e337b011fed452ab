// Test fixture for the waveform outputs: a temporary folder, a packet file
// of a few known packets written through the packet-file writer that the
// transport module uses, and the program-wide records pointing at it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "instrument/packet_file.h"
#include "records/state.h"
#include "runtime/types.h"

namespace tarvio::testing_files {

namespace fs = std::filesystem;

inline std::vector<uint8_t> bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class PacketFixture : public ::testing::Test {
 protected:
  static constexpr size_t kPkt = 120;
  static constexpr size_t kPackets = 3;
  static constexpr size_t kBurstStart = 10, kBurstEnd = 110;  // marker 2 on in [10, 110)

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');  // parameterised names hold slashes
    dir_ = fs::temp_directory_path() / ("tarvio_files_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    saved_ = state();
    packet_path_ = file("packets.bin");
    packet_file::clear(packet_path_);
    Markers m;
    m.row1.assign(kPkt, 0);
    m.row2.assign(kPkt, 0);
    m.row1[0] = 1;
    for (size_t k = kBurstStart; k < kBurstEnd; ++k) m.row2[k] = 1;
    std::vector<uint8_t> mbytes(kPkt);
    for (size_t k = 0; k < kPkt; ++k) mbytes[k] = uint8_t(m.row1[k] | (m.row2[k] << 1));
    for (size_t p = 0; p < kPackets; ++p) {
      std::vector<double> i(kPkt), q(kPkt);
      CVec w(kPkt);
      const double amp = 0.2 + 0.1 * double(p);  // the last packet holds the peak 0.4
      for (size_t k = 0; k < kPkt; ++k) {
        i[k] = amp * std::sin(0.07 * double(k) + double(p));
        q[k] = amp * std::cos(0.05 * double(k) + 0.3 * double(p));
        w[k] = {i[k], q[k]};
        reference_.push_back(w[k]);
      }
      packet_file::append(packet_path_, i.data(), q.data(), kPkt, mbytes.data());
      state().waveform = w;
    }
    state().markers = m;
    Parameters& par = state().parameters;
    par.multiFrame.tmpFileName = packet_path_;
    par.multiFrame.pktSize = kPkt;
    par.numberOfPackets = kPackets;
    par.dataRate = 5.5;
    SigGenSettings& s = state().sigGenSettings;
    s.Frequency = 2.412e9;
    s.SamplingRate = 44e6;
    s.BBfilter = 1;
    s.Scaling = 70;
    s.ModAtten = 0;
    s.ModAttenAuto = 1;
    s.MarkerPolarity = 1;
    s.RFblanking = 3;  // 2 x 3 = 6, stored as 4
    state().appInfo.ApplicationFunction = "dot11g_GUI_c";
  }

  void TearDown() override {
    state() = saved_;
    fs::remove_all(dir_);
  }

  std::string file(const std::string& name) const { return (dir_ / name).string(); }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The entries the fixture itself creates.
  std::vector<std::string> fixture_entries() const { return {"packets.bin", "packets.bin.markers"}; }
  std::vector<std::string> with_fixture(std::vector<std::string> extra) const {
    for (const auto& n : fixture_entries()) extra.push_back(n);
    std::sort(extra.begin(), extra.end());
    return extra;
  }

  fs::path dir_;
  std::string packet_path_;
  CVec reference_;  // every packet, in order
  State saved_;
};

}  // namespace tarvio::testing_files
