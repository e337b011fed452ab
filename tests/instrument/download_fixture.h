// Shared set-up of the download tests: a multi-packet waveform in the packet
// temporary file and the program-wide records pointing at it, the bytes the
// instrument must end up with (computed here from the documented encoding),
// the simulated instrument's log, and the command list of the playback
// set-up written out as the instrument must receive it.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "control/initialize.h"
#include "instrument/hw_commands.h"
#include "instrument/hwio.h"
#include "instrument/sim_process.h"
#include "records/state.h"
#include "runtime/report.h"

namespace tarvio::testing {

namespace fs = std::filesystem;

inline std::vector<uint8_t> read_bytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline std::vector<std::string> read_lines(const fs::path& p) {
  std::ifstream f(p);
  std::vector<std::string> lines;
  for (std::string l; std::getline(f, l);) lines.push_back(l);
  return lines;
}

class DownloadFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio_dl_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "store");
    InitializeAll();
    rec = std::make_shared<RecordingReporter>();
    old_reporter = set_reporter(rec);
    transport_options() = TransportOptions{2.0, ""};
  }
  void TearDown() override {
    set_reporter(old_reporter);
    transport_options() = TransportOptions{};
    fs::remove_all(dir);
  }

  std::vector<std::string> sim_args(std::vector<std::string> extra = {}) const {
    std::vector<std::string> a = {"--log", (dir / "sim.log").string(), "--store", (dir / "store").string()};
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  }

  // Writes `packets` packets of n samples through codes 10 and 11 and points
  // the records at them, as a calculation leaves them.
  void make_waveform(size_t packets, size_t n) {
    State& s = state();
    s.parameters.multiFrame.tmpFileName = (dir / "packets.bin").string();
    hwio::call(10, {Value(""), Value(s.parameters.multiFrame.tmpFileName)});
    samples.clear();
    marker_bytes.clear();
    double max = 0;
    for (size_t k = 0; k < packets; ++k) {
      CVec w(n);
      Markers m;
      m.row1.resize(n);
      m.row2.resize(n);
      for (size_t i = 0; i < n; ++i) {
        w[i] = {0.8 * std::sin(0.37 * i + k) * (k + 1) / packets, -0.5 * std::cos(0.11 * i * (k + 2))};
        m.row1[i] = i < 16;
        m.row2[i] = (i + k) % 5 == 0;
        samples.push_back(w[i]);
        marker_bytes.push_back(static_cast<uint8_t>(m.row1[i] | (m.row2[i] << 1)));
      }
      auto r = hwio::call(
          11, {Value(""), Value::complex_row(w), Value::markers(m), Value(s.parameters.multiFrame.tmpFileName)});
      if (r[0].to_double() > max) {
        max = r[0].to_double();
        s.parameters.multiFrame.pktSize = static_cast<double>(n);
      }
      s.waveform = w;
      s.markers = m;
    }
    s.parameters.multiFrame.max = max;
    s.parameters.numberOfPackets = static_cast<double>(packets);
    s.appInfo.ApplicationFunction = "dot11g_GUI_c";
    s.appInfo.Platform = "c";
    s.parameters.faceless = 0;
  }

  // The waveform block as documented: each component / peak x 32767,
  // rounded half away from zero, big-endian 16-bit, I then Q per sample.
  std::vector<uint8_t> expected_wfm() const {
    double peak = 0;
    for (const auto& v : samples) peak = std::max({peak, std::fabs(v.real()), std::fabs(v.imag())});
    std::vector<uint8_t> b;
    for (const auto& v : samples)
      for (double c : {v.real(), v.imag()}) {
        long x = std::lround(c / peak * 32767);  // lround rounds half away from zero
        uint16_t u = static_cast<uint16_t>(static_cast<int16_t>(x));
        b.push_back(static_cast<uint8_t>(u >> 8));
        b.push_back(static_cast<uint8_t>(u & 0xff));
      }
    return b;
  }

  // The instrument's log once it has handled everything sent so far: a
  // completion query answered means the commands before it were logged.
  std::vector<std::string> log() const {
    HwResult sync = hwQuery(state().configuration, "*OPC?");
    EXPECT_EQ(sync.status, 0) << sync.response;
    auto lines = read_lines(dir / "sim.log");
    if (!lines.empty() && lines.back() == "*OPC?") lines.pop_back();
    return lines;
  }

  // What the download sends before the playback set-up, for a waveform of
  // `total` samples under `title`.
  static std::vector<std::string> transfer_commands(const std::string& title, size_t total, bool arb_was_on) {
    std::string wl = std::to_string(4 * total), ml = std::to_string(total);
    std::vector<std::string> c = {
        ":SOUR:RAD:ARB:STATe?",
        ":SOUR:RAD:ARB:STATe OFF",
        ":MMEMory:DATA \"WFM1:" + title + "\",#" + std::to_string(wl.size()) + wl + "<" + wl + " bytes>",
        ":MMEMory:DATA \"MKR1:" + title + "\",#" + std::to_string(ml.size()) + ml + "<" + ml + " bytes>",
        "*OPC?",
        "",  // the line feed after the transfer
    };
    if (arb_was_on) c.push_back(":SOUR:RAD:ARB:STATe ON");
    c.push_back(":OUTPUT:MOD ON");
    return c;
  }

  // The playback set-up of the newer platform for the default-like settings
  // used in these tests (written out literally).
  static std::vector<std::string> playback_commands(const std::string& title, const std::string& filter, bool kor) {
    std::vector<std::string> c = {
        "*IDN?",
        " :source:rad:arb:state off",
        " :source:rad:arb:wav \"arbi:" + title + "\" ",
        " :source:freq:fix 2412000000Hz",
        " :source:power:level:immediate:amplitude 20dbm",
        " :source:rad:arb:clock:srate 40000000Hz",
        " :source:dm:bbfilter " + filter,
        " :source:rad:ARB:rscaling 85.5",
        ":source:DM:IQAT:AUTO off",
        ":source:DM:IQAT 10",
        " :pow:alc:state on",
        " :source:rad:arb:marker:rfblank on",
        " :source:rad:arb:marker:polarity Pos",
        " :source:rad:arb:clock:ref int",
        " :source:rad:arb:state on",
        " :output:state on",
        " :OUTPUT:MOD ON",
    };
    if (kor) c.push_back(" :radio:arb:hcrest on");
    c.push_back(":source:freq:fix?");
    c.push_back(":source:power:level:immediate:amplitude?");
    // The level of 20 dBm is above the simulated instrument's 13 dBm: it is
    // held there (read back as 13, queued as -222); then the queue answers 0.
    c.push_back(":SYSTem:ERRor?");
    c.push_back(":SYSTem:ERRor?");
    c.push_back(":SYSTem:COMMunicate:GTLocal");
    return c;
  }

  // Settings matching playback_commands().
  static void set_playback_settings(const std::string& title, double bbfilter) {
    SigGenSettings& g = state().sigGenSettings;
    g.Title = title;
    g.Frequency = 2412000000;
    g.Amplitude = 20;  // above the simulated instrument's 13 dBm limit
    g.SamplingRate = 40000000;
    g.BBfilter = bbfilter;
    g.Scaling = 85.5;
    g.ModAtten = 10;
    g.ModAttenAuto = 0;
    g.ALC = 1;
    g.RFblanking = 1;
    g.MarkerPolarity = 0;
    g.ArbRefSource = 0;
  }

  bool shown(const std::string& title) const {
    for (const auto& m : rec->messages)
      if (m.title == title) return true;
    return false;
  }

  fs::path dir;
  std::shared_ptr<RecordingReporter> rec;
  std::shared_ptr<Reporter> old_reporter;
  CVec samples;
  std::vector<uint8_t> marker_bytes;
};

}  // namespace tarvio::testing
