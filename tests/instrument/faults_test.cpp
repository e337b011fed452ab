// Faults of the instrument or the connection: each ends the operation with a
// non-zero status and a text saying what went wrong, within the time-out,
// and leaves the settings as they were when a reply cannot be used.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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

// A loopback listener whose accept queue is full: connections to it wait in
// their handshake as to an address where nothing answers.
class Unanswered {
 public:
  Unanswered() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener_, 0);
    socklen_t len = sizeof a;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    for (int& fd : fill_) {
      fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ~Unanswered() {
    for (int fd : fill_) ::close(fd);
    ::close(listener_);
  }
  int port() const { return port_; }

 private:
  int listener_ = -1, port_ = 0;
  int fill_[2] = {-1, -1};
};

TEST_F(Faults, AnAddressWhereNothingAnswersCostsTheTimeOutOnce) {
  // The download sends its five steps to the end after a failure; each
  // waiting the whole time-out again took five times as long as asked. The
  // bound checked is the time-out's, not a speed.
  Unanswered nobody;
  state().configuration.TCPIP.address = "127.0.0.1:" + std::to_string(nobody.port());
  make_waveform(1, 100);
  const auto start = std::chrono::steady_clock::now();
  HwResult r = DownloadSequence();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "no connection within 0.5 s")) << r.response;
  EXPECT_LT(seconds, 1.5);
  // A moment later the address is tried again.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  const auto again = std::chrono::steady_clock::now();
  EXPECT_NE(hwPing(state().configuration).status, 0);
  EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - again).count(), 0.4);
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
