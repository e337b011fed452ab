// The simulated instrument itself, spoken to over plain sockets and its
// pseudo-terminal: SCPI header forms, its clamping, the error queue, blocks
// into named memory and the store, the log, the model text and its faults.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "instrument/sim_process.h"

using tarvio::testing::SimProcess;
namespace fs = std::filesystem;

namespace {

// One connection to the simulated instrument; reads wait at most 5 s.
class Link {
 public:
  explicit Link(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("connect failed");
  }
  explicit Link(const std::string& tty) {
    fd_ = ::open(tty.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ < 0) throw std::runtime_error("cannot open " + tty);
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  ~Link() { ::close(fd_); }
  void send(const std::string& s) { ASSERT_EQ(::write(fd_, s.data(), s.size()), static_cast<ssize_t>(s.size())); }
  std::string line(int wait_ms = 5000) {
    std::string r;
    char c;
    pollfd p{fd_, POLLIN, 0};
    while (::poll(&p, 1, wait_ms) > 0 && ::read(fd_, &c, 1) == 1) {
      if (c == '\n') return r;
      r += c;
    }
    return "<no reply>";
  }
  std::string query(const std::string& q) {
    send(q + "\n");
    return line();
  }

 private:
  int fd_ = -1;
};

class SimInstrument : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio_sim_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir / "store");
  }
  void TearDown() override { fs::remove_all(dir); }
  std::vector<std::string> args(std::vector<std::string> extra) const {
    std::vector<std::string> a = {"--log", (dir / "log").string(), "--store", (dir / "store").string()};
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  }
  fs::path dir;
};

double num(const std::string& s) { return std::stod(s); }

}  // namespace

TEST_F(SimInstrument, ShortLongAndOptionalHeaderFormsAreOneCommand) {
  SimProcess sim(args({"--port", "0"}));
  Link l(sim.port());
  l.send(":SOURce:FREQuency:CW 1.5GHZ\n");
  EXPECT_EQ(num(l.query("FREQ?")), 1.5e9);
  l.send("freq:fix 250 khz\n");
  EXPECT_EQ(num(l.query(":source:frequency:fixed?")), 250e3);
  l.send(" :pow:lev:imm:ampl -20dbm\n");
  EXPECT_EQ(num(l.query("POWer?")), -20);
  l.send("OUTP ON;:OUTP:MOD 1\n");  // two messages on one line
  EXPECT_EQ(l.query("OUTPut:STATe?"), "1");
  EXPECT_EQ(l.query("OUTP:MOD?"), "1");
  EXPECT_EQ(l.query("SYST:ERR?"), "+0,\"No error\"");
}

TEST_F(SimInstrument, ClampsToItsLimitsAndQueuesErrors) {
  SimProcess sim(args({"--port", "0", "--max-frequency", "3e9", "--max-amplitude", "10"}));
  Link l(sim.port());
  l.send("FREQ 4GHz\n:POW 25dbm\n:FREQ 10Hz\n");
  EXPECT_EQ(num(l.query("FREQ?")), 100e3);
  EXPECT_EQ(num(l.query("POW?")), 10);
  l.send(":NO:SUCH:THING 1\n:OUTP MAYBE\n");
  EXPECT_EQ(l.query("SYST:ERR?").substr(0, 4), "-222");  // 4 GHz clipped
  EXPECT_EQ(l.query("SYST:ERR?").substr(0, 4), "-222");  // 25 dBm clipped
  EXPECT_EQ(l.query("SYST:ERR?").substr(0, 4), "-222");  // 10 Hz clipped
  EXPECT_EQ(l.query("SYST:ERR?").substr(0, 4), "-113");  // unknown header
  EXPECT_EQ(l.query("SYST:ERR?").substr(0, 4), "-224");  // bad switch value
  EXPECT_EQ(l.query("SYST:ERR?"), "+0,\"No error\"");
}

TEST_F(SimInstrument, BlocksGoToNamedMemoryStoreAndLog) {
  SimProcess sim(args({"--port", "0"}));
  std::string data = std::string("\x00\x11\n\x13#\"", 6) + std::string(994, 'z');  // binary, with line feeds
  {
    Link l(sim.port());
    l.send(":MMEM:DATA \"WFM1:A#1\",#41000" + data + "\n");
    l.send(":RAD:ARB:WAV \"ARBI:NONE\"\n");
    l.send(":RAD:ARB:WAV \"ARBI:A#1\"\n");
    EXPECT_EQ(l.query(":RAD:ARB:WAV?"), "\"ARBI:A#1\"");
    EXPECT_EQ(l.query("MMEM:CAT?"), "\"WFM1:A#1,1000\"");
    EXPECT_EQ(l.query("SYST:ERR?").substr(0, 4), "-256");  // NONE is not in memory
  }
  std::ifstream f(dir / "store" / "A#1.wfm", std::ios::binary);
  std::string stored{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  EXPECT_EQ(stored, data);
  std::ifstream lg(dir / "log");
  std::string first;
  std::getline(lg, first);
  EXPECT_EQ(first, ":MMEM:DATA \"WFM1:A#1\",#41000<1000 bytes>");
}

TEST_F(SimInstrument, StoreNamesCannotLeaveTheStoreFolder) {
  SimProcess sim(args({"--port", "0"}));
  Link l(sim.port());
  l.send(":MMEM:DATA \"WFM1:../../x\",#13abc\n");
  EXPECT_EQ(l.query("*OPC?"), "1");
  EXPECT_TRUE(fs::exists(dir / "store" / "______x.wfm"));
  EXPECT_FALSE(fs::exists(dir / "x.wfm"));
}

TEST_F(SimInstrument, ModelTextAndGarbageFault) {
  {
    SimProcess sim(args({"--port", "0", "--model", "ABC123"}));
    Link l(sim.port());
    EXPECT_EQ(l.query("*IDN?"), "Tarvio,ABC123,SIM0001,1.0");
  }
  SimProcess sim(args({"--port", "0", "--fault", "garbage"}));
  Link l(sim.port());
  EXPECT_EQ(l.query("*IDN?").find(','), std::string::npos);
  std::string f = l.query("FREQ?");
  EXPECT_THROW((void)std::stod(f), std::invalid_argument) << f;
  EXPECT_EQ(l.query("*OPC?"), "1");
}

TEST_F(SimInstrument, CloseMidTransferHangsUpAtHalfTheBlockHoweverItArrives) {
  SimProcess sim(args({"--port", "0", "--fault", "close-mid-transfer"}));
  for (size_t bytes : {2, 10, 5000}) {
    {
      Link l(sim.port());
      // The whole message in one write: it arrives in one read.
      const std::string len = std::to_string(bytes);
      l.send(":MMEM:DATA \"WFM1:SMALL\",#" + std::to_string(len.size()) + len + std::string(bytes, 'x') + "\n");
      EXPECT_EQ(l.line(), "<no reply>");  // hung up
    }
    Link l(sim.port());
    EXPECT_EQ(l.query("MMEM:CAT?"), "") << bytes << " bytes";  // the half block was not kept
  }
  std::ifstream lg(dir / "log");
  const std::string log{std::istreambuf_iterator<char>(lg), std::istreambuf_iterator<char>()};
  EXPECT_NE(log.find("<incomplete block discarded: WFM1:SMALL>"), std::string::npos) << log;
}

TEST_F(SimInstrument, AFullErrorQueueEndsInQueueOverflow) {
  SimProcess sim(args({"--port", "0"}));
  Link l(sim.port());
  for (int k = 0; k < 40; ++k) l.send(":NO:SUCH:COMMAND\n");
  for (int k = 0; k < 29; ++k) EXPECT_EQ(l.query("SYST:ERR?").substr(0, 4), "-113") << k;
  EXPECT_EQ(l.query("SYST:ERR?"), "-350,\"Queue overflow\"");
  EXPECT_EQ(l.query("SYST:ERR?"), "+0,\"No error\"");
}

TEST_F(SimInstrument, AMessageWithoutEndIsDroppedNotKept) {
  SimProcess sim(args({"--port", "0"}));
  Link l(sim.port());
  l.send(std::string(3 << 20, 'a'));  // 3 MiB without a line feed
  l.send("\n");
  EXPECT_EQ(l.query("*OPC?"), "1");
  EXPECT_EQ(l.query("SYST:ERR?").substr(0, 4), "-160");
}

TEST_F(SimInstrument, SilentFaultNeverAnswers) {
  SimProcess sim(args({"--port", "0", "--fault", "silent"}));
  Link l(sim.port());
  l.send("*IDN?\n");
  // An answer would come at once; a short wait shows there is none.
  EXPECT_EQ(l.line(300), "<no reply>");
}

TEST_F(SimInstrument, ServesThePseudoTerminal) {
  SimProcess sim(args({"--pty"}));
  ASSERT_FALSE(sim.pty().empty());
  Link l(sim.pty());
  EXPECT_EQ(l.query("*IDN?"), "Tarvio,KXQ7R2,SIM0001,1.0");
  l.send(std::string(":MMEM:DATA \"MKR1:P\",#14\x01\x02\x03\x00\n", 28));
  EXPECT_EQ(l.query("MMEM:CAT?"), "\"MKR1:P,4\"");
}
