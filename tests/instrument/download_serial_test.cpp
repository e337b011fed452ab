// The download over RS-232, against the simulated instrument on a
// pseudo-terminal: the same end state as over LAN, the Xon/Xoff guard for
// binary data, and the transfer-time question.
#include "instrument/download_fixture.h"
#include "instrument/download_sequence.h"
#include "instrument/kor_download.h"

using namespace tarvio;
using namespace tarvio::testing;

namespace {

class DownloadSerial : public DownloadFixture {
 protected:
  void connect(const SimProcess& sim, const std::string& handshake, double baud) {
    Configuration& c = state().configuration;
    c.type = "RS232";
    c.RS232.port = 1;
    c.RS232.baudrate = baud;
    c.RS232.handshake = handshake;
    transport_options().serial_device = sim.pty();
  }
};

}  // namespace

TEST_F(DownloadSerial, InstrumentEndsWithWaveformMarkersCommandsAndReadBack) {
  SimProcess sim(sim_args({"--pty", "--max-amplitude", "13"}));
  connect(sim, "RTS/CTS", 115200);
  make_waveform(3, 1000);
  set_playback_settings("SERIAL_1", 1);

  HwResult r = DownloadSequence();
  ASSERT_EQ(r.status, 0) << r.response;
  EXPECT_TRUE(rec->questions.empty());
  EXPECT_EQ(read_bytes(dir / "store" / "SERIAL_1.wfm"), expected_wfm());
  EXPECT_EQ(read_bytes(dir / "store" / "SERIAL_1.mkr"), marker_bytes);
  auto want = transfer_commands("SERIAL_1", samples.size(), false);
  auto play = playback_commands("SERIAL_1", "2.1MHz", true);
  want.insert(want.end(), play.begin(), play.end());
  EXPECT_EQ(log(), want);
  EXPECT_EQ(state().sigGenSettings.Amplitude, 13);
  EXPECT_EQ(state().sigGenSettings.Frequency, 2412000000);
}

TEST_F(DownloadSerial, XonXoffRefusesBinaryDataHoldingFlowControlBytes) {
  SimProcess sim(sim_args({"--pty"}));
  connect(sim, "Xon/Xoff", 115200);
  make_waveform(3, 1000);  // 12000 bytes of samples: 0x11 and 0x13 occur
  set_playback_settings("XON", 2);
  HwResult r = DownloadSequence();
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.response.find("Xon/Xoff"), std::string::npos) << r.response;
  EXPECT_TRUE(shown("Error Occured During Waveform Download"));
  EXPECT_FALSE(std::filesystem::exists(dir / "store" / "XON.wfm"));
}

TEST_F(DownloadSerial, XonXoffCarriesDataWithoutFlowControlBytes) {
  SimProcess sim(sim_args({"--pty"}));
  connect(sim, "Xon/Xoff", 115200);
  // I = peak gives 0x7FFF, Q = 0 gives 0x0000: no 0x11 or 0x13 anywhere.
  State& s = state();
  s.parameters.multiFrame.tmpFileName = (dir / "flat.bin").string();
  hwio::call(10, {Value(""), Value(s.parameters.multiFrame.tmpFileName)});
  CVec w(64, cplx(0.25, 0.0));
  Markers m{std::vector<uint8_t>(64, 1), std::vector<uint8_t>(64, 0)};
  s.parameters.multiFrame.max = hwio::call(11, {Value(""), Value::complex_row(w), Value::markers(m),
                                                Value(s.parameters.multiFrame.tmpFileName)})[0]
                                    .to_double();
  s.parameters.multiFrame.pktSize = 64;
  s.parameters.numberOfPackets = 1;
  s.waveform = w;
  s.markers = m;
  set_playback_settings("FLAT", 2);
  HwResult r = DownloadSequence();
  ASSERT_EQ(r.status, 0) << r.response;
  std::vector<uint8_t> want;
  for (int k = 0; k < 64; ++k) want.insert(want.end(), {0x7F, 0xFF, 0x00, 0x00});
  EXPECT_EQ(read_bytes(dir / "store" / "FLAT.wfm"), want);
  EXPECT_EQ(read_bytes(dir / "store" / "FLAT.mkr"), std::vector<uint8_t>(64, 1));
}

TEST_F(DownloadSerial, LongTransferQuestionCancelledSendsNothing) {
  SimProcess sim(sim_args({"--pty"}));
  connect(sim, "RTS/CTS", 9600);
  // Three packets of 10000 samples: 32 x 30000 x 1.125 / 9600 / 60 = 1.875
  // minutes (the last packet alone would be 0.625, below the question).
  make_waveform(3, 10000);
  set_playback_settings("LONG", 2);
  HwResult r = DownloadSequence();
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.response, "Download cancelled");
  ASSERT_EQ(rec->questions.size(), 1u);
  EXPECT_EQ(rec->questions[0], "RS-232 Download");
  EXPECT_TRUE(log().empty());
}

TEST_F(DownloadSerial, LongTransferQuestionAnsweredOkGoesAhead) {
  SimProcess sim(sim_args({"--pty"}));
  connect(sim, "RTS/CTS", 9600);
  make_waveform(3, 10000);
  set_playback_settings("LONG", 2);
  rec->answers = {"OK"};
  HwResult r = KORDownLoadWrap(state().waveform, state().markers, "LONG", state().configuration);
  EXPECT_EQ(r.status, 0) << r.response;
  EXPECT_EQ(read_bytes(dir / "store" / "LONG.wfm"), expected_wfm());
}

TEST(Rs232Estimate, MinutesFollowTheDocumentedFormula) {
  // 32 x 1000 x 1.125 / 9600 / 60 = 0.0625 minutes.
  EXPECT_DOUBLE_EQ(rs232_transfer_minutes(1000, 9600, 1), 0.0625);
  EXPECT_DOUBLE_EQ(rs232_transfer_minutes(1000, 9600, 3), 0.1875);
}
