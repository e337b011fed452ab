// The RPC client channel: non-blocking TCP connection, record-marked calls,
// polled replies.
#include "instrument/hwio/rpc_client.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "instrument/hwio/fd_io.h"
#include "instrument/hwio/rpc_message.h"
#include "instrument/hwio/transport.h"

namespace tarvio::hwio_module {

namespace {

using Clock = std::chrono::steady_clock;

std::string seconds_text(double s) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", s);
  return b;
}

}  // namespace

RpcChannel::RpcChannel(const std::string& host, int port, double timeout_s, std::string where, const std::string& what,
                       const Deadline* deadline)
    : where_(std::move(where)), timeout_s_(timeout_s) {
  fd_ = tcp_connect(host, port, timeout_s, where_, what, deadline);
  // Transaction ids start at a random point so that replies meant for an
  // earlier connection cannot be mistaken for ours.
  std::random_device rd;
  xid_ = rd();
}

RpcChannel::~RpcChannel() {
  if (fd_ >= 0) ::close(fd_);
}

bool RpcChannel::usable() const {
  uint8_t b;
  for (;;) {
    ssize_t r = ::recv(fd_, &b, 1, MSG_PEEK | MSG_DONTWAIT);
    if (r < 0 && errno == EINTR) continue;
    return r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);  // open and quiet
  }
}

std::vector<uint8_t> RpcChannel::call(uint32_t prog, uint32_t vers, uint32_t proc, const std::vector<uint8_t>& args,
                                      const char* name, double wait_s, size_t max_reply, size_t& results_at) {
  const uint32_t xid = ++xid_;
  std::vector<uint8_t> wire = rpc::record_marked(rpc::call_message(xid, prog, vers, proc, args));
  fd_write_all(fd_, wire.data(), wire.size(), timeout_s_, where_);

  const auto deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wait_s));
  rpc::RecordAssembler rec(max_reply);
  uint8_t buf[65536];
  while (!rec.complete()) {
    ssize_t r = ::recv(fd_, buf, sizeof buf, 0);
    if (r > 0) {
      size_t used = 0;
      try {
        used = rec.feed(buf, static_cast<size_t>(r));
      } catch (const RpcError& e) {
        throw TransportError(where_ + ": " + name + " failed: " + e.what());
      }
      if (used != static_cast<size_t>(r))
        throw TransportError(where_ + ": " + name + " failed: unexpected data after the reply");
      continue;
    }
    if (r == 0) throw TransportError(where_ + ": the instrument closed the connection");
    if (errno == EINTR) continue;
    if (errno == ECONNRESET) throw TransportError(where_ + ": the instrument closed the connection");
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      throw TransportError(where_ + ": read failed: " + std::strerror(errno));
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) throw TransportError(where_ + ": no answer within " + seconds_text(wait_s) + " s");
      pollfd p{fd_, POLLIN, 0};
      int pr = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
      if (pr > 0) break;
      if (pr < 0 && errno != EINTR) throw TransportError(std::string("poll failed: ") + std::strerror(errno));
    }
  }
  std::vector<uint8_t> reply = rec.take();
  try {
    results_at = rpc::check_reply(reply, xid);
  } catch (const RpcError& e) {
    throw TransportError(where_ + ": " + name + " failed: " + e.what());
  }
  return reply;
}

}  // namespace tarvio::hwio_module
