// Faults of the instrument or the connection: each ends the operation with a
// non-zero status and a text saying what went wrong, within the time-out,
// and leaves the settings as they were when a reply cannot be used.
#include <netinet/in.h>
#include <sys/socket.h>

#include "instrument/download_fixture.h"
#include "instrument/download_sequence.h"
#include "instrument/kor_download.h"
#include "instrument/kor_play.h"

using namespace tarvio;
using namespace tarvio::testing;

namespace {

class Faults : public DownloadFixture {
 protected:
  void SetUp() override {
    DownloadFixture::SetUp();
    transport_options().timeout_s = 0.5;
    state().configuration.type = "TCPIP";
  }
  void connect(const SimProcess& sim) { state().configuration.TCPIP.address = sim.address(); }
};

}  // namespace

TEST_F(Faults, ConnectionRefused) {
  state().configuration.TCPIP.address = "127.0.0.1:" + std::to_string(unused_port());
  make_waveform(1, 100);
  HwResult r = DownloadSequence();
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "cannot connect")) << r.response;
  EXPECT_TRUE(shown("Error Occured During Waveform Download"));
  EXPECT_NE(hwPing(state().configuration).status, 0);
}

TEST_F(Faults, InstrumentClosesMidTransfer) {
  SimProcess sim(sim_args({"--port", "0", "--fault", "close-mid-transfer"}));
  connect(sim);
  make_waveform(1, 300000);  // 1.2 MB block: cut half-way
  set_playback_settings("CUT", 2);
  HwResult r = DownloadSequence();
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "Waveform transfer failed")) << r.response;
  EXPECT_TRUE(contains(r.response, "closed the connection")) << r.response;
  EXPECT_TRUE(shown("Error Occured During Waveform Download"));
  EXPECT_FALSE(std::filesystem::exists(dir / "store" / "CUT.wfm"));
}

TEST_F(Faults, InstrumentStopsAnswering) {
  SimProcess sim(sim_args({"--port", "0", "--fault", "silent"}));
  connect(sim);
  HwResult q = hwQuery(state().configuration, "*IDN?");
  EXPECT_NE(q.status, 0);
  EXPECT_TRUE(contains(q.response, "no answer within 0.5 s")) << q.response;

  make_waveform(1, 100);
  set_playback_settings("MUTE", 2);
  HwResult r = DownloadSequence();
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "*OPC?") || contains(r.response, "no answer")) << r.response;
}

TEST_F(Faults, GarbageRepliesKeepTheSettings) {
  SimProcess sim(sim_args({"--port", "0", "--fault", "garbage"}));
  connect(sim);
  make_waveform(1, 100);
  set_playback_settings("NOISE", 1);
  HwResult r = DownloadSequence();
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "not a number")) << r.response;
  EXPECT_TRUE(shown("Error Occured During Instrument Setup"));
  EXPECT_TRUE(shown("Instrument Identification"));
  // Frequency, amplitude and filter as they were before the set-up.
  EXPECT_EQ(state().sigGenSettings.Frequency, 2412000000);
  EXPECT_EQ(state().sigGenSettings.Amplitude, 20);
  EXPECT_EQ(state().sigGenSettings.BBfilter, 1);
  // The player's state before the transfer was no number: it stays off.
  auto lines = read_lines(dir / "sim.log");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), ":SOUR:RAD:ARB:STATe ON"), 0);
}

TEST_F(Faults, GpibWithoutBoardOrLibraryIsAFailureWithText) {
  state().configuration.type = "GPIB";
  HwResult r = hwSend(state().configuration, "*RST");
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "GPIB")) << r.response;
}

TEST_F(Faults, UnsafeWaveformNameIsRefusedBeforeSending) {
  SimProcess sim(sim_args({"--port", "0"}));
  connect(sim);
  make_waveform(1, 100);
  state().appInfo.ApplicationFunction = "other";
  HwResult r = KORDownLoadWrap(state().waveform, state().markers, "A\"B", state().configuration);
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "waveform name")) << r.response;
  for (const auto& l : log()) EXPECT_FALSE(contains(l, "MMEMory")) << l;
}

TEST_F(Faults, MissingPacketFileIsAFailureWithText) {
  SimProcess sim(sim_args({"--port", "0"}));
  connect(sim);
  make_waveform(1, 100);
  state().parameters.multiFrame.tmpFileName = (dir / "gone.bin").string();
  HwResult r = KORDownLoadWrap(state().waveform, state().markers, "GONE", state().configuration);
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "gone.bin")) << r.response;
}

TEST_F(Faults, EmptyWaveformIsNotTransferred) {
  SimProcess sim(sim_args({"--port", "0"}));
  connect(sim);
  state().appInfo.ApplicationFunction = "other";
  HwResult r = KORDownLoadWrap(CVec{}, Markers{}, "EMPTY", state().configuration);
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "no waveform")) << r.response;
  for (const auto& l : log()) EXPECT_FALSE(contains(l, "MMEMory")) << l;
}

TEST_F(Faults, SilentInstrumentOnTheSerialLine) {
  SimProcess sim(sim_args({"--pty", "--fault", "silent"}));
  Configuration& c = state().configuration;
  c.type = "RS232";
  c.RS232.baudrate = 115200;
  c.RS232.handshake = "RTS/CTS";
  transport_options().serial_device = sim.pty();
  HwResult q = hwQuery(c, "*IDN?");
  EXPECT_NE(q.status, 0);
  EXPECT_TRUE(contains(q.response, "RS-232 " + sim.pty() + ": no answer within 0.5 s")) << q.response;
  c.RS232.baudrate = 12345;
  HwResult s = hwSend(c, "*RST");
  EXPECT_NE(s.status, 0);
  EXPECT_TRUE(contains(s.response, "baud rate 12345 is not supported")) << s.response;
}
