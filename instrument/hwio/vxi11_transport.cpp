// VXI-11 connection: portmapper query, create_link, writes split to the
// link's maxRecvSize with END on the last piece of a message, reads ended
// by the line feed, device_local for return to local, destroy_link when the
// session ends. Device error codes become TransportError texts.
#include "instrument/hwio/vxi11_transport.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <type_traits>

#include "instrument/hwio/rpc_client.h"
#include "instrument/hwio/vxi11_messages.h"

namespace tarvio::hwio_module {

namespace {

// Replies other than device_read results are small; a device_read reply is
// its data plus a few words.
constexpr size_t kMaxSmallReply = 4096;
constexpr size_t kMaxReadRequest = 1 << 20;
// An instrument answers a call carrying io_timeout within that time; the
// reply itself is given this much longer to arrive.
constexpr double kReplyGrace = 1.0;

std::string seconds_text(double s) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", s);
  return b;
}

uint32_t milliseconds(double s) { return static_cast<uint32_t>(std::clamp(std::ceil(s * 1000), 1.0, 4294967295.0)); }

std::string refused(const char* op, int32_t error) {
  return std::string(op) + " refused (error " + std::to_string(error) + ": " + vxi11::error_text(error) + ")";
}

struct Link {
  std::unique_ptr<RpcChannel> channel;
  int32_t lid = 0;
  uint32_t max_recv = 0;
};

// The link kept open between operations, as for the raw socket: a download
// sends dozens of commands, and instruments serve a few links only. It is
// dropped after a failure and after return to local.
struct KeptLink {
  std::string key;
  Link link;
};
KeptLink kept;
std::mutex kept_mutex;

bool take_kept(const std::string& key, Link& out) {
  std::lock_guard<std::mutex> lock(kept_mutex);
  if (!kept.link.channel) return false;
  Link l = std::move(kept.link);
  kept.link = Link{};
  if (kept.key != key || !l.channel->usable()) return false;  // closing the channel ends the link
  out = std::move(l);
  return true;
}

void keep(const std::string& key, Link l) {
  std::lock_guard<std::mutex> lock(kept_mutex);
  kept.key = key;
  kept.link = std::move(l);
}

class Vxi11Transport : public Transport {
 public:
  Vxi11Transport(Link link, std::string key, std::string where, double timeout_s)
      : link_(std::move(link)), key_(std::move(key)), where_(std::move(where)), timeout_(timeout_s) {}
  ~Vxi11Transport() override {
    if (failed_) return;  // the channel closes with the link
    if (!release_) {
      keep(key_, std::move(link_));
      return;
    }
    try {
      size_t at = 0;
      auto reply = link_.channel->call(vxi11::kCoreProg, vxi11::kCoreVers, vxi11::kDestroyLink,
                                       vxi11::link_args(link_.lid), "destroy_link", timeout_, kMaxSmallReply, at);
      (void)reply;  // the link is gone either way: closing the channel ends it too
    } catch (const TransportError&) {
    }
  }

  void write(const uint8_t* p, size_t n, bool end_of_message) override {
    failed_ = true;
    size_t done = 0;
    do {
      size_t chunk = std::min<size_t>(n - done, link_.max_recv);
      bool last = done + chunk == n;
      uint32_t flags = end_of_message && last ? vxi11::kFlagEnd : 0;
      size_t at = 0;
      auto reply = core(vxi11::kDeviceWrite, "device_write",
                        vxi11::device_write_args(link_.lid, milliseconds(timeout_), 0, flags, p + done, chunk),
                        kMaxSmallReply, at);
      XdrReader r(reply.data() + at, reply.size() - at);
      vxi11::WriteResp w = decode(r, "device_write", [](XdrReader& x) { return vxi11::read_write_resp(x); });
      if (w.error == vxi11::kErrIoTimeout)
        throw TransportError(where_ + ": write timed out after " + seconds_text(timeout_) + " s (" +
                             std::to_string(done) + " of " + std::to_string(n) + " bytes sent)");
      if (w.error != vxi11::kErrNone) throw TransportError(where_ + ": " + refused("device_write", w.error));
      if (w.size > chunk)
        throw TransportError(where_ + ": device_write reports " + std::to_string(w.size) + " bytes taken of " +
                             std::to_string(chunk) + " sent");
      if (w.size == 0 && chunk > 0) throw TransportError(where_ + ": device_write took no bytes");
      done += w.size;  // an instrument may take part of a piece: the rest follows
    } while (done < n);
    failed_ = false;
  }

  size_t read_some(uint8_t* p, size_t n) override {
    failed_ = true;
    const uint32_t want = static_cast<uint32_t>(std::min(n, kMaxReadRequest));
    size_t at = 0;
    auto reply =
        core(vxi11::kDeviceRead, "device_read",
             vxi11::device_read_args(link_.lid, want, milliseconds(timeout_), 0, vxi11::kFlagTermCharSet, '\n'),
             want + kMaxSmallReply, at);
    XdrReader r(reply.data() + at, reply.size() - at);
    vxi11::ReadResp d = decode(r, "device_read", [want](XdrReader& x) { return vxi11::read_read_resp(x, want); });
    if (d.error == vxi11::kErrIoTimeout)
      throw TransportError(where_ + ": no answer within " + seconds_text(timeout_) + " s");
    if (d.error != vxi11::kErrNone) throw TransportError(where_ + ": " + refused("device_read", d.error));
    std::copy(d.data, d.data + d.size, p);
    size_t got = d.size;
    // A reply ended by the END indicator alone counts as ended by a line
    // feed (the reply reader works line by line).
    if ((d.reason & vxi11::kReasonEnd) && (got == 0 || p[got - 1] != '\n') && got < n) p[got++] = '\n';
    if (got == 0) throw TransportError(where_ + ": device_read returned no data and no end of message");
    failed_ = false;
    return got;
  }

  void go_to_local() override {
    failed_ = true;
    size_t at = 0;
    auto reply = core(vxi11::kDeviceLocal, "device_local", vxi11::generic_args(link_.lid, 0, 0, milliseconds(timeout_)),
                      kMaxSmallReply, at);
    XdrReader r(reply.data() + at, reply.size() - at);
    int32_t error = decode(r, "device_local", [](XdrReader& x) { return x.i32(); });
    if (error != vxi11::kErrNone) throw TransportError(where_ + ": " + refused("device_local", error));
    failed_ = false;
    release_ = true;
  }
  void abandon() override { failed_ = true; }
  std::string where() const override { return where_; }

 private:
  std::vector<uint8_t> core(uint32_t proc, const char* name, const std::vector<uint8_t>& args, size_t max_reply,
                            size_t& at) {
    return link_.channel->call(vxi11::kCoreProg, vxi11::kCoreVers, proc, args, name, timeout_ + kReplyGrace, max_reply,
                               at);
  }
  template <class F>
  std::invoke_result_t<F, XdrReader&> decode(XdrReader& r, const char* name, F f) {
    try {
      return f(r);
    } catch (const XdrError& e) {
      throw TransportError(where_ + ": " + name + " failed: malformed reply: " + e.what());
    }
  }

  Link link_;
  std::string key_, where_;
  double timeout_;
  bool failed_ = false;   // an exchange broke off: the link's state is unknown
  bool release_ = false;  // the session is over: the link is destroyed
};

}  // namespace

std::unique_ptr<Transport> open_vxi11(const ConnectionConfig& c, const LanAddress& a) {
  const bool v6 = a.host.find(':') != std::string::npos;
  const std::string host_text = v6 ? "[" + a.host + "]" : a.host;
  const std::string where =
      "VXI-11 " + host_text + (a.port != vxi11::kPmapPort ? ":" + std::to_string(a.port) : "") + "/" + a.device;
  const std::string key = host_text + ":" + std::to_string(a.port) + "/" + a.device;
  Link link;
  if (take_kept(key, link)) return std::make_unique<Vxi11Transport>(std::move(link), key, where, c.timeout_s);

  // The portmapper names the core channel's port. Both connections are
  // made within one time-out.
  const Deadline connect_by = deadline_after(c.timeout_s);
  uint32_t core_port = 0;
  {
    RpcChannel pmap(a.host, a.port, c.timeout_s, where, "the portmapper", &connect_by);
    size_t at = 0;
    auto reply = pmap.call(vxi11::kPmapProg, vxi11::kPmapVers, vxi11::kPmapGetport,
                           vxi11::getport_args(vxi11::kCoreProg, vxi11::kCoreVers), "the portmapper query", c.timeout_s,
                           kMaxSmallReply, at);
    try {
      XdrReader r(reply.data() + at, reply.size() - at);
      core_port = r.u32();
    } catch (const XdrError& e) {
      throw TransportError(where + ": the portmapper query failed: malformed reply: " + e.what());
    }
  }
  if (core_port == 0)
    throw TransportError(where + ": the portmapper knows no VXI-11 core channel (program 0x0607AF version 1)");
  if (core_port > 65535)
    throw TransportError(where + ": the portmapper named the impossible port " + std::to_string(core_port));

  link.channel = std::make_unique<RpcChannel>(a.host, static_cast<int>(core_port), c.timeout_s, where,
                                              "the core channel", &connect_by);
  size_t at = 0;
  auto reply = link.channel->call(vxi11::kCoreProg, vxi11::kCoreVers, vxi11::kCreateLink,
                                  vxi11::create_link_args(static_cast<int32_t>(::getpid()), false, 0, a.device),
                                  "create_link", c.timeout_s, kMaxSmallReply, at);
  vxi11::CreateLinkResp cl;
  try {
    XdrReader r(reply.data() + at, reply.size() - at);
    cl = vxi11::read_create_link_resp(r);
  } catch (const XdrError& e) {
    throw TransportError(where + ": create_link failed: malformed reply: " + e.what());
  }
  if (cl.error != vxi11::kErrNone) throw TransportError(where + ": " + refused("create_link", cl.error));
  if (cl.max_recv_size == 0) throw TransportError(where + ": create_link gave a maxRecvSize of 0 bytes");
  link.lid = cl.lid;
  // Pieces larger than 1 MiB gain nothing and would only grow the messages.
  link.max_recv = std::min<uint32_t>(cl.max_recv_size, 1u << 20);
  return std::make_unique<Vxi11Transport>(std::move(link), key, where, c.timeout_s);
}

}  // namespace tarvio::hwio_module
