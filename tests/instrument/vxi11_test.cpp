// VXI-11 on the LAN connection: the wire format against bytes worked out by
// hand from RFC 4506 (XDR), RFC 5531 (RPC, record marking) and the VXI-11
// interface definition; the address forms; the whole download against the
// simulated instrument serving VXI-11; and faults, each ending within the
// time-out with a text saying what went wrong.
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <functional>
#include <thread>

#include "instrument/download_fixture.h"
#include "instrument/download_sequence.h"
#include "instrument/hwio/rpc_message.h"
#include "instrument/hwio/vxi11_address.h"
#include "instrument/hwio/vxi11_messages.h"

using namespace tarvio;
using namespace tarvio::testing;
using namespace tarvio::hwio_module;

namespace {

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------- wire format

struct EncodeCase {
  const char* name;
  Bytes (*encode)();
  Bytes expected;
};

class Vxi11Encoding : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Vxi11Encoding, MatchesHandWorkedBytes) { EXPECT_EQ(GetParam().encode(), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Wire, Vxi11Encoding,
    ::testing::Values(
        // XDR: big-endian integers, two's complement, strings padded to 4.
        EncodeCase{"xdr_items",
                   [] {
                     XdrWriter w;
                     w.u32(0x01020304);
                     w.i32(-2);
                     w.boolean(true);
                     w.string("inst0");
                     w.string("");
                     w.string("abcd");
                     return w.take();
                   },
                   {1,   2,   3,   4, 0xff, 0xff, 0xff, 0xfe, 0, 0, 0, 1, 0, 0, 0,   5,   'i', 'n',
                    's', 't', '0', 0, 0,    0,    0,    0,    0, 0, 0, 0, 0, 4, 'a', 'b', 'c', 'd'}},
        // A whole create_link call as it goes on the wire: record mark
        // (last fragment, 64 bytes), RPC call header with AUTH_NONE, then
        // Create_LinkParms {clientId 1234, lockDevice false, lock_timeout 0,
        // device "inst0"}.
        EncodeCase{
            "create_link_call",
            [] {
              return rpc::record_marked(rpc::call_message(0x12345678, vxi11::kCoreProg, vxi11::kCoreVers,
                                                          vxi11::kCreateLink,
                                                          vxi11::create_link_args(1234, false, 0, "inst0")));
            },
            {0x80, 0,    0, 0x40, 0x12, 0x34, 0x56, 0x78, 0, 0, 0, 0, 0, 0, 0,   2,   0,   0x06, 0x07, 0xAF, 0, 0, 0,
             1,    0,    0, 0,    0x0A, 0,    0,    0,    0, 0, 0, 0, 0, 0, 0,   0,   0,   0,    0,    0,    0, 0, 0,
             0x04, 0xD2, 0, 0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 5, 'i', 'n', 's', 't',  '0',  0,    0, 0}},
        // PMAPPROC_GETPORT mapping {0x0607AF, 1, IPPROTO_TCP, 0}.
        EncodeCase{"getport_args",
                   [] { return vxi11::getport_args(vxi11::kCoreProg, vxi11::kCoreVers); },
                   {0, 0x06, 0x07, 0xAF, 0, 0, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0}},
        // Device_WriteParms {lid 7, io_timeout 2000, lock_timeout 0, END,
        // "*IDN?\n"}.
        EncodeCase{
            "device_write_args",
            [] {
              const uint8_t d[] = {'*', 'I', 'D', 'N', '?', '\n'};
              return vxi11::device_write_args(7, 2000, 0, vxi11::kFlagEnd, d, sizeof d);
            },
            {0, 0, 0, 7, 0, 0, 0x07, 0xD0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 6, '*', 'I', 'D', 'N', '?', '\n', 0, 0}},
        // Device_ReadParms {lid 7, requestSize 4096, io_timeout 2000,
        // lock_timeout 0, termchrset, termChar '\n'}.
        EncodeCase{"device_read_args",
                   [] { return vxi11::device_read_args(7, 4096, 2000, 0, vxi11::kFlagTermCharSet, '\n'); },
                   {0, 0, 0, 7, 0, 0, 0x10, 0, 0, 0, 0x07, 0xD0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0x0A}},
        // Device_GenericParms {lid 7, flags 0, lock_timeout 0, io_timeout 2000}.
        EncodeCase{"device_local_args",
                   [] { return vxi11::generic_args(7, 0, 0, 2000); },
                   {0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x07, 0xD0}},
        // Ten bytes in fragments of four: two plain fragments, the last
        // one marked.
        EncodeCase{"record_fragments",
                   [] {
                     return rpc::record_marked(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 4);
                   },
                   {0, 0, 0, 4, 1, 2, 3, 4, 0, 0, 0, 4, 5, 6, 7, 8, 0x80, 0, 0, 2, 9, 10}}),
    [](const ::testing::TestParamInfo<EncodeCase>& i) { return std::string(i.param.name); });

TEST(Vxi11Decoding, CreateLinkReplyIsReadAfterTheAcceptedHeader) {
  // xid 9, REPLY, MSG_ACCEPTED, verifier AUTH_NONE (empty), SUCCESS, then
  // Create_LinkResp {error 0, lid 17, abortPort 0, maxRecvSize 4096}.
  Bytes msg = {0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0,    0,
               0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 17, 0, 0, 0, 0, 0, 0, 0x10, 0};
  size_t at = rpc::check_reply(msg, 9);
  EXPECT_EQ(at, 24u);
  XdrReader r(msg.data() + at, msg.size() - at);
  vxi11::CreateLinkResp c = vxi11::read_create_link_resp(r);
  EXPECT_EQ(c.error, 0);
  EXPECT_EQ(c.lid, 17);
  EXPECT_EQ(c.max_recv_size, 4096u);
}

struct ReplyCase {
  const char* name;
  Bytes msg;
  const char* text;
};

class Vxi11BadReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(Vxi11BadReply, IsRefusedWithItsReason) {
  try {
    rpc::check_reply(GetParam().msg, 9);
    FAIL() << "accepted";
  } catch (const RpcError& e) {
    EXPECT_TRUE(contains(e.what(), GetParam().text)) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Wire, Vxi11BadReply,
    ::testing::Values(
        ReplyCase{
            "other_xid", {0, 0, 0, 8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "another call"},
        ReplyCase{"a_call", {0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 2}, "not an RPC reply"},
        ReplyCase{"rpc_mismatch",
                  {0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 4},
                  "versions 3 to 4"},
        ReplyCase{"auth_error", {0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, "authentication"},
        ReplyCase{"prog_unavail",
                  {0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
                  "does not offer the program"},
        ReplyCase{"proc_unavail",
                  {0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3},
                  "does not offer the procedure"},
        // A verifier claiming 2^31 bytes in a 24-byte message.
        ReplyCase{
            "lying_verifier", {0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0}, "malformed"},
        ReplyCase{"truncated", {0, 0, 0, 9, 0, 0, 0, 1, 0, 0}, "malformed"}),
    [](const ::testing::TestParamInfo<ReplyCase>& i) { return std::string(i.param.name); });

TEST(Vxi11Records, FragmentsFedByteByByteMakeOneRecordAndStopAtItsEnd) {
  Bytes msg;
  for (int k = 0; k < 1000; ++k) msg.push_back(static_cast<uint8_t>(k * 7));
  Bytes wire = rpc::record_marked(msg, 300);  // four fragments
  wire.push_back(0xEE);                       // the start of the next record
  rpc::RecordAssembler rec(1 << 16);
  size_t used = 0;
  while (!rec.complete() && used < wire.size()) used += rec.feed(&wire[used], 1);
  ASSERT_TRUE(rec.complete());
  EXPECT_EQ(used, wire.size() - 1);
  EXPECT_EQ(rec.take(), msg);
  EXPECT_TRUE(rec.idle());
}

TEST(Vxi11Records, LengthBeyondTheLimitIsRefusedBeforeAnyData) {
  rpc::RecordAssembler rec(1 << 20);
  const uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3};  // last fragment of 2 GiB - 1
  EXPECT_THROW(rec.feed(huge, sizeof huge), RpcError);
  // Fragments that add up beyond the limit are refused as well.
  rpc::RecordAssembler small(8);
  Bytes two = rpc::record_marked(Bytes(12, 1), 6);
  EXPECT_THROW(small.feed(two.data(), two.size()), RpcError);
}

TEST(Vxi11Records, OpaqueLongerThanAllowedOrThanTheMessageIsRefused) {
  Bytes claim = {0, 0, 0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
  XdrReader ok(claim);
  EXPECT_EQ(ok.opaque(9), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  XdrReader limited(claim);
  EXPECT_THROW(limited.opaque(8), XdrError);
  claim.resize(14);  // padding cut off
  XdrReader cut(claim);
  EXPECT_THROW(cut.opaque(100), XdrError);
  Bytes no_bool = {0, 0, 0, 2};
  XdrReader b(no_bool);
  EXPECT_THROW(b.boolean(), XdrError);
}

// -------------------------------------------------------------- address forms

struct AddressCase {
  std::string address;
  bool vxi11;
  std::string host;
  int port;
  std::string device;
  std::string socket_address;
};

class Vxi11Address : public ::testing::TestWithParam<AddressCase> {};

TEST_P(Vxi11Address, ChoosesTheProtocolAndItsParts) {
  const AddressCase& c = GetParam();
  LanAddress a = parse_lan_address(c.address);
  EXPECT_EQ(a.vxi11, c.vxi11);
  if (c.vxi11) {
    EXPECT_EQ(a.host, c.host);
    EXPECT_EQ(a.port, c.port);
    EXPECT_EQ(a.device, c.device);
  } else {
    EXPECT_EQ(a.socket_address, c.socket_address);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Vxi11Address,
    ::testing::Values(AddressCase{"vxi11://10.1.2.3", true, "10.1.2.3", 111, "inst0", ""},
                      AddressCase{"VXI11://127.0.0.1:4711", true, "127.0.0.1", 4711, "inst0", ""},
                      AddressCase{"vxi11://gen.lab:4711/gpib0,5", true, "gen.lab", 4711, "gpib0,5", ""},
                      AddressCase{"vxi11://[fe80::1]:999/inst1", true, "fe80::1", 999, "inst1", ""},
                      AddressCase{"TCPIP0::10.1.2.3::inst0::INSTR", true, "10.1.2.3", 111, "inst0", ""},
                      AddressCase{"tcpip::gen.lab::INSTR", true, "gen.lab", 111, "inst0", ""},
                      AddressCase{"TCPIP1::gen.lab::inst2", true, "gen.lab", 111, "inst2", ""},
                      AddressCase{"TCPIP::gen.lab", true, "gen.lab", 111, "inst0", ""},
                      AddressCase{"TCPIP0::10.1.2.3::5025::SOCKET", false, "", 0, "", "10.1.2.3:5025"},
                      AddressCase{"TCPIP::[::1]::5025::SOCKET", false, "", 0, "", "[::1]:5025"},
                      AddressCase{"10.1.2.3:5025", false, "", 0, "", "10.1.2.3:5025"},
                      AddressCase{"gen.lab", false, "", 0, "", "gen.lab"}));

struct RefusedCase {
  std::string address;
  std::string text;
};

class Vxi11AddressRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(Vxi11AddressRefused, SaysWhy) {
  try {
    parse_lan_address(GetParam().address);
    FAIL() << "accepted " << GetParam().address;
  } catch (const TransportError& e) {
    EXPECT_TRUE(contains(e.what(), GetParam().text)) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, Vxi11AddressRefused,
                         ::testing::Values(RefusedCase{"TCPIP0::gen.lab::hislip0::INSTR", "HiSLIP is not supported"},
                                           RefusedCase{"http://gen.lab", "the scheme 'http' is unknown"},
                                           RefusedCase{"vxi11://gen.lab:0", "not a number from 1 to 65535"},
                                           RefusedCase{"vxi11://gen.lab/in st0", "device name"},
                                           RefusedCase{"vxi11://", "the host is empty"},
                                           RefusedCase{"TCPIPX::gen.lab::INSTR", "board number"},
                                           RefusedCase{"TCPIP::gen.lab::5025x::SOCKET", "not a number"},
                                           RefusedCase{"TCPIP::gen.lab::a::b::INSTR", "not a VISA INSTR or SOCKET"},
                                           RefusedCase{"TCPIP::gen.lab::SOCKET", "not a VISA INSTR or SOCKET"}));

// ---------------------------------------------------- against the simulator

// A portmapper stand-in: accepts one connection, reads the call, and
// answers it with what `answer` makes of its xid (or nothing at all).
class FakePortmapper {
 public:
  explicit FakePortmapper(std::function<Bytes(uint32_t xid)> answer) : answer_(std::move(answer)) {
    ls_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(ls_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(ls_, 4) != 0)
      throw std::runtime_error("cannot listen");
    socklen_t len = sizeof a;
    ::getsockname(ls_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
  }
  ~FakePortmapper() {
    ::shutdown(ls_, SHUT_RDWR);
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
    thread_.join();
    if (fd_ >= 0) ::close(fd_);
    ::close(ls_);
  }
  int port() const { return port_; }

 private:
  void run() {
    fd_ = ::accept(ls_, nullptr, nullptr);
    if (fd_ < 0) return;
    rpc::RecordAssembler rec(4096);
    uint8_t b[512];
    while (!rec.complete()) {
      ssize_t n = ::read(fd_, b, sizeof b);
      if (n <= 0) return;
      rec.feed(b, static_cast<size_t>(n));
    }
    Bytes call = rec.take();
    XdrReader r(call);
    Bytes reply = answer_(r.u32());
    if (!reply.empty()) ::send(fd_, reply.data(), reply.size(), MSG_NOSIGNAL);
    while (::read(fd_, b, sizeof b) > 0) {
    }  // hold the connection until the client or the destructor ends it
  }
  std::function<Bytes(uint32_t)> answer_;
  int ls_ = -1, port_ = 0;
  std::atomic<int> fd_{-1};
  std::thread thread_;
};

class Vxi11Download : public DownloadFixture {
 protected:
  void SetUp() override {
    DownloadFixture::SetUp();
    state().configuration.type = "TCPIP";
  }
  void connect(const SimProcess& sim) { state().configuration.TCPIP.address = "vxi11://" + sim.address(); }
  // What the raw socket delivers, with the return to local made by the
  // device_local call instead of the SCPI command.
  std::vector<std::string> expected(const std::string& title, const std::string& filter, bool kor) const {
    auto c = transfer_commands(title, samples.size(), false);
    auto p = playback_commands(title, filter, kor);
    c.insert(c.end(), p.begin(), p.end());
    EXPECT_EQ(c.back(), ":SYSTem:COMMunicate:GTLocal");
    c.back() = "<device_local>";
    return c;
  }
};

}  // namespace

TEST_F(Vxi11Download, InstrumentEndsWithWaveformMarkersCommandsAndReadBack) {
  SimProcess sim(sim_args({"--vxi11", "--port", "0", "--max-amplitude", "13"}));
  connect(sim);
  make_waveform(3, 1000);
  set_playback_settings("WLAN_TEST", 1);

  HwResult r = DownloadSequence();
  ASSERT_EQ(r.status, 0) << r.response;
  EXPECT_TRUE(shown("Download Completed"));
  EXPECT_EQ(read_bytes(dir / "store" / "WLAN_TEST.wfm"), expected_wfm());
  EXPECT_EQ(read_bytes(dir / "store" / "WLAN_TEST.mkr"), marker_bytes);
  EXPECT_EQ(log(), expected("WLAN_TEST", "2.1MHz", true));
  EXPECT_EQ(state().sigGenSettings.Amplitude, 13);
  EXPECT_EQ(state().sigGenSettings.Frequency, 2412000000);
}

TEST_F(Vxi11Download, BlocksLargerThanTheLinksReceiveSizeArriveSplitAndIntact) {
  // The simulator refuses device_write data beyond its maxRecvSize, so an
  // unsplit 400 kB block would fail the transfer.
  SimProcess sim(sim_args({"--vxi11", "--port", "0", "--max-recv-size", "4096"}));
  connect(sim);
  make_waveform(2, 50000);
  set_playback_settings("SPLIT", 2);
  HwResult r = DownloadSequence();
  ASSERT_EQ(r.status, 0) << r.response;
  EXPECT_EQ(read_bytes(dir / "store" / "SPLIT.wfm"), expected_wfm());
  EXPECT_EQ(read_bytes(dir / "store" / "SPLIT.mkr"), marker_bytes);
}

TEST_F(Vxi11Download, VisaInstrumentFormReachesThePortmapperOnPort111) {
  std::unique_ptr<SimProcess> sim;
  try {
    sim = std::make_unique<SimProcess>(sim_args({"--vxi11", "--port", "111"}));
  } catch (const std::runtime_error&) {
    GTEST_SKIP() << "port 111 cannot be bound here (a portmapper runs, or no privilege)";
  }
  state().configuration.TCPIP.address = "TCPIP0::127.0.0.1::inst0::INSTR";
  HwResult r = hwPing(state().configuration);
  ASSERT_EQ(r.status, 0) << r.response;
  EXPECT_EQ(r.response, "Instrument found on VXI-11 127.0.0.1/inst0: Tarvio,KXQ7R2,SIM0001,1.0");
}

TEST_F(Vxi11Download, VisaSocketFormUsesTheRawSocket) {
  SimProcess sim(sim_args({"--port", "0"}));
  state().configuration.TCPIP.address = "TCPIP0::127.0.0.1::" + std::to_string(sim.port()) + "::SOCKET";
  HwResult r = hwQuery(state().configuration, "*IDN?");
  ASSERT_EQ(r.status, 0) << r.response;
  EXPECT_EQ(r.response, "Tarvio,KXQ7R2,SIM0001,1.0");
}

TEST_F(Vxi11Download, ReturnToLocalUsesDeviceLocal) {
  SimProcess sim(sim_args({"--vxi11", "--port", "0"}));
  connect(sim);
  ASSERT_EQ(hwSend(state().configuration, "*CLS").status, 0);
  HwResult r = hwReturnLocal(state().configuration);
  ASSERT_EQ(r.status, 0) << r.response;
  EXPECT_EQ(log(), (std::vector<std::string>{"*CLS", "<device_local>"}));
}

class Vxi11Faults : public Vxi11Download {
 protected:
  void SetUp() override {
    Vxi11Download::SetUp();
    transport_options().timeout_s = 0.5;
  }
};

TEST_F(Vxi11Faults, NoPortmapperListening) {
  state().configuration.TCPIP.address = "vxi11://127.0.0.1:" + std::to_string(unused_port());
  HwResult r = hwPing(state().configuration);
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "cannot connect to the portmapper")) << r.response;
}

TEST_F(Vxi11Faults, PortmapperThatNeverAnswers) {
  FakePortmapper pm([](uint32_t) { return Bytes{}; });
  state().configuration.TCPIP.address = "vxi11://127.0.0.1:" + std::to_string(pm.port());
  HwResult r = hwPing(state().configuration);
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "no answer within 0.5 s")) << r.response;
}

TEST_F(Vxi11Faults, ReplyClaimingGigabytesIsRefused) {
  FakePortmapper pm([](uint32_t) { return Bytes{0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 0, 0}; });
  state().configuration.TCPIP.address = "vxi11://127.0.0.1:" + std::to_string(pm.port());
  HwResult r = hwPing(state().configuration);
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "was refused")) << r.response;
}

TEST_F(Vxi11Faults, ReplyToAnotherCallIsRefused) {
  FakePortmapper pm([](uint32_t xid) {
    XdrWriter w;
    w.u32(xid + 1);
    for (uint32_t v : {1u, 0u, 0u, 0u, 0u, 4242u}) w.u32(v);
    return rpc::record_marked(w.bytes());
  });
  state().configuration.TCPIP.address = "vxi11://127.0.0.1:" + std::to_string(pm.port());
  HwResult r = hwPing(state().configuration);
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "the portmapper query failed: the reply belongs to another call")) << r.response;
}

TEST_F(Vxi11Faults, PortmapperWithoutTheCoreChannel) {
  FakePortmapper pm([](uint32_t xid) {
    return rpc::record_marked(rpc::accepted_reply(xid, rpc::kSuccess, Bytes{0, 0, 0, 0}));
  });
  state().configuration.TCPIP.address = "vxi11://127.0.0.1:" + std::to_string(pm.port());
  HwResult r = hwPing(state().configuration);
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "knows no VXI-11 core channel")) << r.response;
}

TEST_F(Vxi11Faults, UnknownDeviceIsRefusedWithTheErrorCode) {
  SimProcess sim(sim_args({"--vxi11", "--port", "0"}));
  state().configuration.TCPIP.address = "vxi11://" + sim.address() + "/inst3";
  HwResult r = hwPing(state().configuration);
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "/inst3: create_link refused (error 3: device not accessible)")) << r.response;
}

TEST_F(Vxi11Faults, SilentInstrument) {
  SimProcess sim(sim_args({"--vxi11", "--port", "0", "--fault", "silent"}));
  connect(sim);
  HwResult q = hwQuery(state().configuration, "*IDN?");
  EXPECT_NE(q.status, 0);
  EXPECT_TRUE(contains(q.response, "VXI-11 " + sim.address() + "/inst0: no answer within 0.5 s")) << q.response;
}

TEST_F(Vxi11Faults, InstrumentClosesMidTransfer) {
  SimProcess sim(sim_args({"--vxi11", "--port", "0", "--fault", "close-mid-transfer"}));
  connect(sim);
  make_waveform(1, 300000);
  set_playback_settings("CUT", 2);
  HwResult r = DownloadSequence();
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "Waveform transfer failed")) << r.response;
  EXPECT_TRUE(contains(r.response, "closed the connection")) << r.response;
  EXPECT_FALSE(std::filesystem::exists(dir / "store" / "CUT.wfm"));
}

TEST_F(Vxi11Faults, HislipAddressIsRefusedWithText) {
  state().configuration.TCPIP.address = "TCPIP0::127.0.0.1::hislip0::INSTR";
  HwResult r = hwPing(state().configuration);
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.response, "HiSLIP is not supported")) << r.response;
}
