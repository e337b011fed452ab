// Following and stopping a calculation from another thread's point of view:
// the watch sees every packet, a stop request ends the run at the next
// packet, and the kept outcome of the run before comes back whole (packet
// file, log, waveform, markers), or stays away when the new run stands.
#include "control/calculation_watch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "control/calculate.h"
#include "control/initialize.h"
#include "control/kept_calculation.h"
#include "control/packet_log.h"
#include "instrument/packet_file.h"
#include "records/state.h"
#include "runtime/report.h"

namespace tarvio {
namespace {

std::string file_bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// Asks the watch to stop when the status line reaches a given packet, and
// records the progress the watch held at each packet.
class StoppingReporter : public RecordingReporter {
 public:
  void status(const std::string& text) override {
    RecordingReporter::status(text);
    if (!watch) return;
    if (text.rfind("Creating frame", 0) == 0) seen.push_back(watch->packets_done.load());
    if (!stop_at.empty() && text == stop_at) watch->cancel = true;
  }
  CalculationWatch* watch = nullptr;
  std::string stop_at;
  std::vector<double> seen;
};

class CalculationWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeAll();
    state().dontSetSampleRate = 0;
    p().incrSeqCtrl = 1;  // every packet differs, so each one is generated
    state().waveform.clear();
    state().markers = Markers{};
    last_packet_log().clear();
    rep->watch = &watch;
    old_rep = set_reporter(rep);
    old_watch = watch_calculations(&watch);
  }
  void TearDown() override {
    watch_calculations(old_watch);
    set_reporter(old_rep);
    std::error_code ec;
    for (const std::string& f : {path(), packet_file::marker_path(path())}) {
      std::filesystem::remove(f, ec);
      std::filesystem::remove(f + ".kept", ec);
    }
  }
  Parameters& p() { return state().parameters; }
  const std::string& path() { return p().multiFrame.tmpFileName; }

  CalculationWatch watch;
  std::shared_ptr<StoppingReporter> rep = std::make_shared<StoppingReporter>();
  std::shared_ptr<Reporter> old_rep;
  CalculationWatch* old_watch = nullptr;
};

TEST_F(CalculationWatchTest, WatchCountsThePacketsOfTheRun) {
  p().numberOfPackets = 3;
  ASSERT_TRUE(Calculate());
  EXPECT_EQ(rep->seen, (std::vector<double>{0, 1, 2}));
  EXPECT_EQ(watch.packets.load(), 3);
  EXPECT_EQ(watch.packets_done.load(), 3);
}

TEST_F(CalculationWatchTest, StopEndsTheRunAndTheKeptOutcomeComesBack) {
  p().numberOfPackets = 2;
  ASSERT_TRUE(Calculate());
  const CVec waveform = state().waveform;
  const Markers markers = state().markers;
  const std::string bytes = file_bytes(path());
  const std::string marks = file_bytes(packet_file::marker_path(path()));
  const double pktSize = p().multiFrame.pktSize;

  p().numberOfPackets = 4;
  p().dataLength = 200;  // another waveform
  rep->stop_at = "Creating frame 2 ...";
  {
    KeptCalculation kept;
    EXPECT_THROW(Calculate(), CalculationCancelled);
    EXPECT_EQ(watch.packets_done.load(), 2);  // stopped before packet 3
    kept.restore();
  }
  EXPECT_EQ(state().waveform, waveform);
  EXPECT_EQ(state().markers.row1, markers.row1);
  EXPECT_EQ(state().markers.row2, markers.row2);
  EXPECT_EQ(p().multiFrame.pktSize, pktSize);
  EXPECT_EQ(last_packet_log().packets(), 2u);
  EXPECT_EQ(file_bytes(path()), bytes);
  EXPECT_EQ(file_bytes(packet_file::marker_path(path())), marks);
  EXPECT_FALSE(std::filesystem::exists(path() + ".kept"));
}

TEST_F(CalculationWatchTest, StopDuringTheLastPacketKeepsTheFinishedRun) {
  p().numberOfPackets = 2;
  rep->stop_at = "Creating frame 2 ...";
  {
    KeptCalculation kept;  // nothing calculated before: nothing kept
    ASSERT_TRUE(Calculate());
  }
  EXPECT_EQ(last_packet_log().packets(), 2u);
  EXPECT_EQ(std::filesystem::file_size(path()), 2 * 16 * size_t(p().multiFrame.pktSize));
}

TEST_F(CalculationWatchTest, StopOfTheFirstRunLeavesAnEmptyPacketFile) {
  p().numberOfPackets = 3;
  rep->stop_at = "Creating frame 1 ...";
  {
    KeptCalculation kept;
    EXPECT_THROW(Calculate(), CalculationCancelled);
    kept.restore();
  }
  EXPECT_EQ(std::filesystem::file_size(path()), 0u);
  EXPECT_EQ(last_packet_log().packets(), 0u);
  EXPECT_TRUE(state().waveform.empty());
}

}  // namespace
}  // namespace tarvio
