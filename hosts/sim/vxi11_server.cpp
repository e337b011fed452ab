// The VXI-11 service of the simulated instrument: portmapper and core
// channel on loopback sockets, one poll loop. Arguments are decoded here
// field by field in the order the VXI-11 interface definition gives them.
#include "hosts/sim/vxi11_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hosts/sim/scpi_stream.h"
#include "hosts/sim/sim_socket.h"
#include "instrument/hwio/rpc_message.h"
#include "instrument/hwio/vxi11_messages.h"

namespace tarvio::sim {

namespace {

namespace hw = tarvio::hwio_module;
namespace rpc = tarvio::hwio_module::rpc;
namespace vx = tarvio::hwio_module::vxi11;

using Message = std::optional<std::vector<uint8_t>>;  // empty: drop the connection

bool send_all(int fd, const std::vector<uint8_t>& b) {
  size_t done = 0;
  while (done < b.size()) {
    ssize_t w = ::send(fd, b.data() + done, b.size() - done, MSG_NOSIGNAL);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;  // the client has gone
    done += static_cast<size_t>(w);
  }
  return true;
}

std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Checks RPC version, program and version; returns a refusal or nothing.
// The call header of a message; nothing when it is malformed (the
// connection is then dropped).
std::optional<rpc::CallHeader> read_call_header(hw::XdrReader& r) {
  try {
    return rpc::read_call(r);
  } catch (const hw::XdrError&) {
    return std::nullopt;
  }
}

Message refuse_call(const rpc::CallHeader& h, uint32_t prog, uint32_t vers) {
  if (h.rpcvers != rpc::kVersion) return rpc::rpc_mismatch_reply(h.xid);
  if (h.prog != prog) return rpc::accepted_reply(h.xid, rpc::kProgUnavail, {});
  if (h.vers != vers) return rpc::accepted_reply(h.xid, rpc::kProgMismatch, {}, vers, vers);
  return std::nullopt;
}

Message portmapper(const std::vector<uint8_t>& msg, int core_port) {
  hw::XdrReader r(msg);
  const std::optional<rpc::CallHeader> call = read_call_header(r);
  if (!call) return std::nullopt;
  const rpc::CallHeader& h = *call;
  if (Message m = refuse_call(h, vx::kPmapProg, vx::kPmapVers)) return m;
  if (h.proc == 0) return rpc::accepted_reply(h.xid, rpc::kSuccess, {});  // NULL procedure
  if (h.proc != vx::kPmapGetport) return rpc::accepted_reply(h.xid, rpc::kProcUnavail, {});
  try {
    uint32_t prog = r.u32(), vers = r.u32(), prot = r.u32();
    r.u32();  // port: unused in a query
    hw::XdrWriter w;
    w.u32(prog == vx::kCoreProg && vers == vx::kCoreVers && prot == vx::kIpprotoTcp ? static_cast<uint32_t>(core_port)
                                                                                    : 0);
    return rpc::accepted_reply(h.xid, rpc::kSuccess, w.bytes());
  } catch (const hw::XdrError&) {
    return rpc::accepted_reply(h.xid, rpc::kGarbageArgs, {});
  }
}

// Passes the stream's events to the instrument and remembers whether the
// last one ended a message, so that the END flag of each write can be
// checked against the message ends actually written.
class EndTracker : public StreamSink {
 public:
  explicit EndTracker(SimInstrument& inst) : inst_(inst) {}
  void block_begin(const std::string& header, uint64_t length) override {
    ended_ = false;
    inst_.block_begin(header, length);
  }
  void block_data(const uint8_t* p, size_t n) override {
    ended_ = false;
    inst_.block_data(p, n);
  }
  void block_end() override {
    ended_ = false;
    inst_.block_end();
  }
  void message(const std::string& text, bool had_block) override {
    ended_ = true;
    inst_.message(text, had_block);
  }
  void syntax_error(const std::string& what) override {
    ended_ = false;
    inst_.syntax_error(what);
  }
  void clear() { ended_ = false; }
  bool ended() const { return ended_; }

 private:
  SimInstrument& inst_;
  bool ended_ = false;
};

class CoreChannel {
 public:
  CoreChannel(const SimOptions& opt, uint32_t max_recv)
      : inst_(opt, [this](const std::string& s) { out_ += s; }),
        tracker_(inst_),
        stream_(tracker_),
        max_recv_(max_recv) {
    stream_.cut_blocks_at_half(opt.fault == Fault::CloseMidTransfer);
  }

  // Handles one call arriving on fd; nothing when the connection is to be
  // dropped.
  Message handle(const std::vector<uint8_t>& msg, int fd) {
    hw::XdrReader r(msg);
    const std::optional<rpc::CallHeader> call = read_call_header(r);
    if (!call) return std::nullopt;
    const rpc::CallHeader& h = *call;
    if (Message m = refuse_call(h, vx::kCoreProg, vx::kCoreVers)) return m;
    hw::XdrWriter w;
    try {
      switch (h.proc) {
        case vx::kCreateLink:
          create_link(r, w);
          break;
        case vx::kDeviceWrite:
          if (!device_write(r, w)) return std::nullopt;
          break;
        case vx::kDeviceRead:
          if (!device_read(r, w, fd)) return std::nullopt;
          break;
        case vx::kDeviceLocal: {
          int32_t lid = r.i32();
          r.u32();  // flags
          r.u32();  // lock_timeout
          r.u32();  // io_timeout
          if (!links_.count(lid)) {
            w.i32(vx::kErrInvalidLink);
          } else {
            inst_.go_to_local();
            w.i32(vx::kErrNone);
          }
          break;
        }
        case vx::kDestroyLink:
          w.i32(links_.erase(r.i32()) ? vx::kErrNone : vx::kErrInvalidLink);
          break;
        default:
          return rpc::accepted_reply(h.xid, rpc::kProcUnavail, {});
      }
    } catch (const hw::XdrError&) {
      return rpc::accepted_reply(h.xid, rpc::kGarbageArgs, {});
    }
    return rpc::accepted_reply(h.xid, rpc::kSuccess, w.bytes());
  }

  // The connection ended: its links go, and a block half-way is discarded.
  void connection_closed() {
    links_.clear();
    stream_.reset();
    inst_.connection_closed();
    out_.clear();
  }

 private:
  void create_link(hw::XdrReader& r, hw::XdrWriter& w) {
    r.i32();      // clientId
    r.boolean();  // lockDevice: the simulated device has no other client
    r.u32();      // lock_timeout
    std::string device = r.string(256);
    if (lower(device) != "inst0") {
      for (uint32_t v : {uint32_t(vx::kErrDeviceNotAccessible), 0u, 0u, max_recv_}) w.u32(v);
      return;
    }
    int32_t lid = next_lid_++;
    links_.insert(lid);
    w.i32(vx::kErrNone);
    w.i32(lid);
    w.u32(0);  // abortPort: no abort channel
    w.u32(max_recv_);
  }

  bool device_write(hw::XdrReader& r, hw::XdrWriter& w) {
    int32_t lid = r.i32();
    r.u32();  // io_timeout: writes are handled at once
    r.u32();  // lock_timeout
    uint32_t flags = r.u32();
    const uint8_t* p = nullptr;
    size_t n = 0;
    r.opaque_view(p, n, r.left());
    int32_t error = !links_.count(lid) ? vx::kErrInvalidLink : n > max_recv_ ? vx::kErrParameter : vx::kErrNone;
    if (error == vx::kErrNone) {
      tracker_.clear();
      stream_.feed(p, n);
      // END goes with the piece whose last byte ends a message, and only
      // with it; a controller that breaks this rule shows in the log.
      bool message_end = n > 0 && p[n - 1] == '\n' && tracker_.ended();
      if (message_end != ((flags & vx::kFlagEnd) != 0))
        inst_.syntax_error(message_end ? "END flag missing at the end of a message" : "END flag inside a message");
      if (stream_.cut()) return false;  // hang up half-way through the block
    }
    w.i32(error);
    w.u32(error == vx::kErrNone ? static_cast<uint32_t>(n) : 0);
    return true;
  }

  bool device_read(hw::XdrReader& r, hw::XdrWriter& w, int fd) {
    int32_t lid = r.i32();
    uint32_t request = r.u32(), io_timeout = r.u32();
    r.u32();  // lock_timeout
    uint32_t flags = r.u32();
    uint8_t term = static_cast<uint8_t>(r.u32());
    if (!links_.count(lid)) {
      w.i32(vx::kErrInvalidLink);
      w.u32(0);
      w.opaque(nullptr, 0);
      return true;
    }
    if (out_.empty()) {
      // Every message sent so far has been handled: no reply is coming.
      // Wait the read's time-out (or until the client hangs up) like a
      // device with an empty output queue.
      pollfd p{fd, POLLRDHUP, 0};
      int waited = ::poll(&p, 1, static_cast<int>(std::min<uint32_t>(io_timeout, 600000)));
      if (waited > 0) return false;
      w.i32(vx::kErrIoTimeout);
      w.u32(0);
      w.opaque(nullptr, 0);
      return true;
    }
    size_t take = std::min<size_t>(request, out_.size());
    uint32_t reason = 0;
    for (size_t k = 0; k < take; ++k) {
      uint8_t c = static_cast<uint8_t>(out_[k]);
      bool chr = (flags & vx::kFlagTermCharSet) && c == term;
      if (c == '\n' || chr) {
        take = k + 1;
        reason = (c == '\n' ? vx::kReasonEnd : 0) | (chr ? vx::kReasonChr : 0);
        break;
      }
    }
    if (reason == 0) reason = take == request ? vx::kReasonReqCnt : vx::kReasonEnd;
    w.i32(vx::kErrNone);
    w.u32(reason);
    w.opaque(reinterpret_cast<const uint8_t*>(out_.data()), take);
    out_.erase(0, take);
    return true;
  }

  SimInstrument inst_;
  EndTracker tracker_;
  ScpiStream stream_;
  std::string out_;  // replies not yet read
  uint32_t max_recv_;
  std::set<int32_t> links_;
  int32_t next_lid_ = 1;
};

struct Conn {
  int fd;
  rpc::RecordAssembler rec;
};

// Reads what is waiting on c and answers each complete call; false when
// the connection is to be closed.
template <class Handler>
bool serve_input(Conn& c, Handler handle) {
  static std::vector<uint8_t> buf(1 << 20);
  ssize_t n = ::read(c.fd, buf.data(), buf.size());
  if (n < 0 && errno == EINTR) return true;
  if (n <= 0) return false;
  size_t k = 0;
  try {
    while (k < static_cast<size_t>(n)) {
      k += c.rec.feed(buf.data() + k, static_cast<size_t>(n) - k);
      if (!c.rec.complete()) continue;
      Message reply = handle(c.rec.take());
      if (!reply || !send_all(c.fd, rpc::record_marked(*reply))) return false;
    }
  } catch (const hw::RpcError&) {
    return false;  // a record over the limit: no sane client sends one
  }
  return true;
}

}  // namespace

void serve_vxi11(const SimOptions& opt, int port, uint32_t max_recv_size) {
  int pmap_ls = listen_on(port);
  int core_ls = listen_on(0);
  const int core_port = bound_port(core_ls);
  std::printf("PORT %d\n", bound_port(pmap_ls));
  std::fflush(stdout);

  CoreChannel core(opt, max_recv_size);
  const size_t core_limit = size_t{max_recv_size} + (1 << 16);
  std::vector<Conn> pmap_clients;
  std::optional<Conn> core_client;
  for (;;) {
    std::vector<pollfd> fds = {{pmap_ls, POLLIN, 0}, {core_client ? core_client->fd : core_ls, POLLIN, 0}};
    for (const Conn& c : pmap_clients) fds.push_back({c.fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      die(std::string("poll: ") + std::strerror(errno));
    }
    if (fds[0].revents) {
      int fd = ::accept4(pmap_ls, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) pmap_clients.push_back(Conn{fd, rpc::RecordAssembler(4096)});
    }
    if (fds[1].revents) {
      if (!core_client) {
        int fd = ::accept4(core_ls, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) core_client.emplace(Conn{fd, rpc::RecordAssembler(core_limit)});
      } else if (!serve_input(*core_client,
                              [&](const std::vector<uint8_t>& m) { return core.handle(m, core_client->fd); })) {
        core.connection_closed();
        ::close(core_client->fd);
        core_client.reset();
      }
    }
    for (size_t k = 2; k < fds.size(); ++k) {
      if (!fds[k].revents) continue;
      auto it =
          std::find_if(pmap_clients.begin(), pmap_clients.end(), [&](const Conn& c) { return c.fd == fds[k].fd; });
      if (!serve_input(*it, [&](const std::vector<uint8_t>& m) { return portmapper(m, core_port); })) {
        ::close(it->fd);
        pmap_clients.erase(it);
      }
    }
  }
}

}  // namespace tarvio::sim
