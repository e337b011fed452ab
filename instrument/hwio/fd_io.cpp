// Poll-based timed I/O on non-blocking descriptors.
#include "instrument/hwio/fd_io.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "instrument/hwio/transport.h"

namespace tarvio::hwio_module {

namespace {

using Clock = std::chrono::steady_clock;

std::string seconds_text(double s) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", s);
  return b;
}

// Waits for events on fd until the deadline; returns revents, 0 on time-out.
short wait_for(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) left = 0;
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
    if (r > 0) return p.revents;
    if (r == 0) return 0;
    if (errno != EINTR) throw TransportError(std::string("poll failed: ") + std::strerror(errno));
  }
}

// Addresses where nothing answered a connection, until when they count as
// unreachable, and the reason given then.
struct Unreachable {
  Clock::time_point until;
  std::string reason;
};

struct UnreachableTable {
  std::mutex lock;
  std::map<std::string, Unreachable> entries;
};

UnreachableTable& unreachable() {
  static UnreachableTable t;
  return t;
}

bool is_socket(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

void fd_write_all(int fd, const uint8_t* p, size_t n, double timeout_s, const std::string& where) {
  const auto step = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout_s));
  const bool sock = is_socket(fd);
  size_t done = 0;
  auto deadline = Clock::now() + step;
  while (done < n) {
    ssize_t w = sock ? ::send(fd, p + done, n - done, MSG_NOSIGNAL) : ::write(fd, p + done, n - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
      deadline = Clock::now() + step;  // the time-out counts from the last progress
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      short ev = wait_for(fd, POLLOUT, deadline);
      if (ev == 0)
        throw TransportError(where + ": write timed out after " + seconds_text(timeout_s) + " s (" +
                             std::to_string(done) + " of " + std::to_string(n) + " bytes sent)");
      if ((ev & (POLLERR | POLLHUP)) && !(ev & POLLOUT))
        throw TransportError(where + ": the instrument closed the connection during a write (" + std::to_string(done) +
                             " of " + std::to_string(n) + " bytes sent)");
      continue;
    }
    if (w < 0 && (errno == EPIPE || errno == ECONNRESET))
      throw TransportError(where + ": the instrument closed the connection during a write (" + std::to_string(done) +
                           " of " + std::to_string(n) + " bytes sent)");
    throw TransportError(where + ": write failed: " + (w < 0 ? std::strerror(errno) : "no progress"));
  }
}

size_t fd_read_some(int fd, uint8_t* p, size_t n, double timeout_s, const std::string& where) {
  const auto deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout_s));
  for (;;) {
    ssize_t r = ::read(fd, p, n);
    if (r > 0) return static_cast<size_t>(r);
    if (r == 0) throw TransportError(where + ": the instrument closed the connection");
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      short ev = wait_for(fd, POLLIN, deadline);
      if (ev == 0) throw TransportError(where + ": no answer within " + seconds_text(timeout_s) + " s");
      continue;  // readable, hung up or in error: the next read tells which
    }
    if (errno == ECONNRESET || errno == EIO) throw TransportError(where + ": the instrument closed the connection");
    throw TransportError(where + ": read failed: " + std::strerror(errno));
  }
}

bool fd_wait_writable(int fd, double timeout_s) {
  auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout_s));
  return wait_for(fd, POLLOUT, deadline) != 0;
}

Deadline deadline_after(double timeout_s) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout_s));
}

int tcp_connect(const std::string& host, int port, double timeout_s, const std::string& where, const std::string& what,
                const Deadline* deadline) {
  const Deadline by = deadline ? *deadline : deadline_after(timeout_s);
  const std::string key = host + "\n" + std::to_string(port);
  {
    UnreachableTable& t = unreachable();
    std::lock_guard<std::mutex> hold(t.lock);
    auto it = t.entries.find(key);
    if (it != t.entries.end()) {
      if (Clock::now() < it->second.until) throw TransportError(where + it->second.reason);
      t.entries.erase(it);
    }
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* res = nullptr;
  std::string service = std::to_string(port);
  int gai = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
  if (gai != 0) throw TransportError(where + ": cannot resolve '" + host + "': " + ::gai_strerror(gai));
  std::string last_error = "no address";
  bool timed_out = false;
  for (addrinfo* ai = res; ai; ai = ai->ai_next) {
    if (Clock::now() >= by) {  // the time-out is spent: no address is left a moment to answer
      timed_out = true;
      last_error = "no connection within " + seconds_text(timeout_s) + " s";
      break;
    }
    int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) {
      last_error = std::strerror(errno);
      continue;
    }
    int r = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
    if (r != 0 && errno == EINPROGRESS) {
      if (wait_for(fd, POLLOUT, by) == 0) {
        timed_out = true;
        last_error = "no connection within " + seconds_text(timeout_s) + " s";
        ::close(fd);
        continue;
      }
      int err = 0;
      socklen_t len = sizeof err;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      r = err == 0 ? 0 : -1;
      errno = err;
    }
    if (r != 0) {
      last_error = std::strerror(errno);
      ::close(fd);
      continue;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::freeaddrinfo(res);
    return fd;
  }
  ::freeaddrinfo(res);
  const std::string reason = ": cannot connect" + (what.empty() ? std::string() : " to " + what) + " at port " +
                             std::to_string(port) + ": " + last_error;
  if (timed_out) {
    UnreachableTable& t = unreachable();
    std::lock_guard<std::mutex> hold(t.lock);
    t.entries[key] = {deadline_after(timeout_s), reason};
  }
  throw TransportError(where + reason);
}

}  // namespace tarvio::hwio_module
