// RS-232 connection: a POSIX serial port (port n is /dev/ttyS(n-1) unless the
// record names a device path) in raw 8N1 mode with the record's baud rate and
// handshake: "Xon/Xoff" software flow control, "RTS/CTS" hardware flow
// control, anything else none.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "instrument/hwio/fd_io.h"
#include "instrument/hwio/transport.h"

namespace tarvio::hwio_module {

namespace {

speed_t speed_for(int baud) {
  switch (baud) {
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    default:
      return 0;
  }
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

class SerialTransport : public Transport {
 public:
  SerialTransport(int fd, std::string where, double timeout_s, bool xon)
      : fd_(fd), where_(std::move(where)), timeout_(timeout_s), xon_(xon) {}
  ~SerialTransport() override {
    // Let queued output leave, bounded by the time-out. Only output still
    // stuck after that (a stalled line) is dropped, so that closing never
    // waits on it; output that has left must not be flushed (on a
    // pseudo-terminal that would discard it from the other side's input).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_);
    int queued = 0;
    while (::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (queued > 0) ::tcflush(fd_, TCOFLUSH);
    ::close(fd_);
  }
  void write(const uint8_t* p, size_t n, bool) override { fd_write_all(fd_, p, n, timeout_, where_); }
  size_t read_some(uint8_t* p, size_t n) override { return fd_read_some(fd_, p, n, timeout_, where_); }
  void go_to_local() override {
    static const char cmd[] = ":SYSTem:COMMunicate:GTLocal\n";
    write(reinterpret_cast<const uint8_t*>(cmd), sizeof cmd - 1, true);
  }
  std::string where() const override { return where_; }
  bool software_flow_control() const override { return xon_; }

 private:
  int fd_;
  std::string where_;
  double timeout_;
  bool xon_;
};

}  // namespace

std::unique_ptr<Transport> open_serial(const ConnectionConfig& c) {
  std::string dev = c.device;
  if (dev.empty()) {
    if (c.rs232_port < 1 || c.rs232_port > 9)
      throw TransportError("RS-232 port " + std::to_string(c.rs232_port) + " is outside 1 to 9");
    dev = "/dev/ttyS" + std::to_string(c.rs232_port - 1);
  }
  const std::string where = "RS-232 " + dev;
  speed_t speed = speed_for(c.baudrate);
  if (speed == 0)
    throw TransportError(where + ": baud rate " + std::to_string(c.baudrate) +
                         " is not supported (300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400)");
  int fd = ::open(dev.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw TransportError(where + ": cannot open: " + std::strerror(errno));
  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    int e = errno;
    ::close(fd);
    throw TransportError(where + ": not a serial port: " + std::strerror(e));
  }
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  const std::string hs = lower(c.handshake);
  const bool xon = hs == "xon/xoff";
  if (xon) t.c_iflag |= IXON | IXOFF;
  if (hs == "rts/cts") t.c_cflag |= CRTSCTS;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    int e = errno;
    ::close(fd);
    throw TransportError(where + ": cannot set the line parameters: " + std::strerror(e));
  }
  ::tcflush(fd, TCIFLUSH);  // stale input from an earlier exchange
  return std::make_unique<SerialTransport>(fd, where, c.timeout_s, xon);
}

}  // namespace tarvio::hwio_module
