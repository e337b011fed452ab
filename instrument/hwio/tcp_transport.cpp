// LAN connection: SCPI over a raw TCP socket ("host" or "host:port", port
// 5025 by default), connected with a time-out and used non-blocking.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "instrument/hwio/fd_io.h"
#include "instrument/hwio/transport.h"

namespace tarvio::hwio_module {

namespace {

constexpr int kDefaultPort = 5025;

struct HostPort {
  std::string host;
  int port = kDefaultPort;
};

// "host", "host:port", "[v6addr]" or "[v6addr]:port".
HostPort split_address(const std::string& a) {
  HostPort hp;
  std::string port;
  if (!a.empty() && a[0] == '[') {
    auto close = a.find(']');
    if (close == std::string::npos) throw TransportError("LAN address '" + a + "' lacks the closing ']'");
    hp.host = a.substr(1, close - 1);
    if (close + 1 < a.size()) {
      if (a[close + 1] != ':') throw TransportError("LAN address '" + a + "' is not [address]:port");
      port = a.substr(close + 2);
    }
  } else if (auto colon = a.find(':'); colon != std::string::npos && a.find(':', colon + 1) == std::string::npos) {
    hp.host = a.substr(0, colon);
    port = a.substr(colon + 1);
  } else {
    hp.host = a;
  }
  if (hp.host.empty()) throw TransportError("the LAN address is empty");
  if (!port.empty()) {
    char* end = nullptr;
    long p = std::strtol(port.c_str(), &end, 10);
    if (*end != '\0' || p < 1 || p > 65535)
      throw TransportError("LAN address '" + a + "': the port must be a number from 1 to 65535");
    hp.port = static_cast<int>(p);
  }
  return hp;
}

// The connection kept open between operations: a download sends dozens of
// commands, and an instrument serves one client at a time, so reconnecting
// for each of them would only queue connections. It is dropped after a
// failure and after return to local.
struct KeptSocket {
  std::string key;  // "host:port"
  int fd = -1;
};
KeptSocket kept;
std::mutex kept_mutex;

// Takes the kept socket for key when it is still connected; input left
// over from an earlier exchange is discarded.
int take_kept(const std::string& key) {
  std::lock_guard<std::mutex> lock(kept_mutex);
  if (kept.fd < 0) return -1;
  int fd = kept.fd;
  kept.fd = -1;
  if (kept.key != key) {
    ::close(fd);
    return -1;
  }
  uint8_t junk[4096];
  for (;;) {
    ssize_t r = ::recv(fd, junk, sizeof junk, MSG_DONTWAIT);
    if (r > 0) continue;
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return fd;  // alive and quiet
    ::close(fd);                                                        // closed by the instrument (r == 0) or in error
    return -1;
  }
}

void keep(const std::string& key, int fd) {
  std::lock_guard<std::mutex> lock(kept_mutex);
  if (kept.fd >= 0) ::close(kept.fd);
  kept.key = key;
  kept.fd = fd;
}

class TcpTransport : public Transport {
 public:
  TcpTransport(int fd, std::string key, std::string where, double timeout_s)
      : fd_(fd), key_(std::move(key)), where_(std::move(where)), timeout_(timeout_s) {}
  ~TcpTransport() override {
    if (failed_ || release_)
      ::close(fd_);
    else
      keep(key_, fd_);
  }
  void write(const uint8_t* p, size_t n, bool) override {
    failed_ = true;
    fd_write_all(fd_, p, n, timeout_, where_);
    failed_ = false;
  }
  size_t read_some(uint8_t* p, size_t n) override {
    failed_ = true;
    size_t r = fd_read_some(fd_, p, n, timeout_, where_);
    failed_ = false;
    return r;
  }
  // A raw socket has no remote-enable line: the instrument is asked to go
  // to local with its SCPI command, and the session ends.
  void go_to_local() override {
    static const char cmd[] = ":SYSTem:COMMunicate:GTLocal\n";
    write(reinterpret_cast<const uint8_t*>(cmd), sizeof cmd - 1, true);
    release_ = true;
  }
  void abandon() override { failed_ = true; }
  std::string where() const override { return where_; }

 private:
  int fd_;
  std::string key_, where_;
  double timeout_;
  bool failed_ = false;   // an exchange broke off: the stream state is unknown
  bool release_ = false;  // the session is over
};

}  // namespace

std::unique_ptr<Transport> open_tcp(const ConnectionConfig& c) {
  HostPort hp = split_address(c.address);
  const std::string where = "LAN " + c.address + (c.address.find(':') == std::string::npos ? ":5025" : "");
  const std::string key = hp.host + ":" + std::to_string(hp.port);
  if (int fd = take_kept(key); fd >= 0) return std::make_unique<TcpTransport>(fd, key, where, c.timeout_s);
  const int fd = tcp_connect(hp.host, hp.port, c.timeout_s, where);
  return std::make_unique<TcpTransport>(fd, key, where, c.timeout_s);
}

}  // namespace tarvio::hwio_module
