// The whole download sequence against the simulated instrument over LAN:
// what the instrument stores, the commands it receives in order, and what is
// read back into SigGenSettings; the model-dependent filter rules and the
// waveform player's state before the transfer.
#include "instrument/download_fixture.h"
#include "instrument/download_sequence.h"

using namespace tarvio;
using namespace tarvio::testing;

namespace {

class DownloadLan : public DownloadFixture {
 protected:
  void connect(const SimProcess& sim) {
    state().configuration.type = "TCPIP";
    state().configuration.TCPIP.address = sim.address();
  }
  std::vector<std::string> expected(const std::string& title, const std::string& filter, bool kor, bool arb_on) const {
    auto c = transfer_commands(title, samples.size(), arb_on);
    auto p = playback_commands(title, filter, kor);
    c.insert(c.end(), p.begin(), p.end());
    return c;
  }
};

}  // namespace

TEST_F(DownloadLan, InstrumentEndsWithWaveformMarkersCommandsAndReadBack) {
  SimProcess sim(sim_args({"--port", "0", "--max-amplitude", "13"}));
  connect(sim);
  make_waveform(3, 1000);
  set_playback_settings("WLAN_TEST", 1);

  HwResult r = DownloadSequence();
  ASSERT_EQ(r.status, 0) << r.response;
  EXPECT_TRUE(shown("Download Completed"));

  EXPECT_EQ(read_bytes(dir / "store" / "WLAN_TEST.wfm"), expected_wfm());
  EXPECT_EQ(read_bytes(dir / "store" / "WLAN_TEST.mkr"), marker_bytes);
  EXPECT_EQ(log(), expected("WLAN_TEST", "2.1MHz", true, false));

  // The instrument clamped the level to its 13 dBm; the frequency stands.
  EXPECT_EQ(state().sigGenSettings.Amplitude, 13);
  EXPECT_EQ(state().sigGenSettings.Frequency, 2412000000);
  EXPECT_EQ(state().sigGenSettings.BBfilter, 1);
}

TEST_F(DownloadLan, PlayerRunningBeforeTheTransferIsRestarted) {
  SimProcess sim(sim_args({"--port", "0", "--max-amplitude", "13"}));
  connect(sim);
  make_waveform(1, 200);
  set_playback_settings("FIRST", 2);
  ASSERT_EQ(DownloadSequence().status, 0);  // leaves the player on
  // The second run is the tail of the log.
  set_playback_settings("SECOND", 2);
  ASSERT_EQ(DownloadSequence().status, 0);
  auto all = log();
  auto want = expected("SECOND", "40MHz", true, true);
  ASSERT_GE(all.size(), want.size());
  EXPECT_EQ(std::vector<std::string>(all.end() - static_cast<long>(want.size()), all.end()), want);
}

TEST_F(DownloadLan, OtherModelGetsFortyMegahertzFilterAndNoCrestCommand) {
  SimProcess sim(sim_args({"--port", "0", "--max-amplitude", "13", "--model", "KXQ7R1"}));
  connect(sim);
  make_waveform(2, 300);
  set_playback_settings("OTHER", 1);
  ASSERT_EQ(DownloadSequence().status, 0);
  EXPECT_EQ(log(), expected("OTHER", "40MHz", false, false));
  EXPECT_EQ(state().sigGenSettings.BBfilter, 2);
}

TEST_F(DownloadLan, UnattendedRunShowsNoSuccessBox) {
  SimProcess sim(sim_args({"--port", "0"}));
  connect(sim);
  make_waveform(1, 100);
  set_playback_settings("QUIET", 2);
  state().parameters.faceless = 1;
  ASSERT_EQ(DownloadSequence().status, 0);
  EXPECT_TRUE(rec->messages.empty());
}

TEST_F(DownloadLan, TransferFromMemoryWhenNotRunFromTheMainWindow) {
  SimProcess sim(sim_args({"--port", "0"}));
  connect(sim);
  make_waveform(2, 100);  // the packet file holds two packets ...
  state().appInfo.ApplicationFunction = "other";
  set_playback_settings("MEM", 2);
  ASSERT_EQ(DownloadSequence().status, 0);
  // ... but only the last packet, the one in memory, is sent.
  samples.erase(samples.begin(), samples.begin() + 100);
  marker_bytes.erase(marker_bytes.begin(), marker_bytes.begin() + 100);
  EXPECT_EQ(read_bytes(dir / "store" / "MEM.wfm"), expected_wfm());
  EXPECT_EQ(read_bytes(dir / "store" / "MEM.mkr"), marker_bytes);
}
