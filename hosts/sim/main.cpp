// tarvio-sim: serves the simulated signal generator on a loopback TCP port
// (one connection at a time, in arrival order), as VXI-11 (--vxi11) or on a
// pseudo-terminal, and prints where it listens ("PORT <n>" or "PTY <path>")
// on its first line.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "hosts/sim/scpi_stream.h"
#include "hosts/sim/sim_instrument.h"
#include "hosts/sim/sim_socket.h"
#include "hosts/sim/vxi11_server.h"

using namespace tarvio::sim;

namespace {

const char kUsage[] =
    "usage: tarvio-sim [--port N | --pty] [--vxi11 [--max-recv-size BYTES]]\n"
    "                  [--log FILE] [--model TEXT] [--store DIR]\n"
    "                  [--fault close-mid-transfer|silent|garbage]\n"
    "                  [--max-frequency HZ] [--max-amplitude DBM]\n"
    "  --port N      TCP port on 127.0.0.1 (0 picks a free one; default 5025)\n"
    "  --pty         serve on a new pseudo-terminal instead\n"
    "  --vxi11       serve VXI-11 instead of the raw socket: the portmapper on --port,\n"
    "                the core channel on a free port\n"
    "  --max-recv-size BYTES  the VXI-11 link's maxRecvSize (default 65536, at least 64)\n"
    "  --log FILE    every message received, one per line\n"
    "  --model TEXT  model field of the *IDN? reply (default KXQ7R2)\n"
    "  --store DIR   write each waveform (.wfm) and marker (.mkr) block there\n"
    "  --fault F     close-mid-transfer: drop the connection half-way through a block;\n"
    "                silent: never answer; garbage: answer queries with nonsense\n";

double number_arg(const char* opt, const char* v) {
  char* end = nullptr;
  double d = std::strtod(v, &end);
  if (end == v || *end) die(std::string(opt) + " needs a number, not '" + v + "'");
  return d;
}

void write_all(int fd, const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    ssize_t w = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
    if (w < 0 && errno == ENOTSOCK) w = ::write(fd, s.data() + done, s.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;  // the client has gone; the reply is lost as on a real bus
    done += static_cast<size_t>(w);
  }
}

int serve_tcp(SimOptions opt, int port) {
  const int ls = listen_on(port);
  std::printf("PORT %d\n", bound_port(ls));
  std::fflush(stdout);

  int client = -1;
  SimInstrument inst(opt, [&client](const std::string& s) { write_all(client, s); });
  ScpiStream stream(inst);
  stream.cut_blocks_at_half(opt.fault == Fault::CloseMidTransfer);
  std::vector<uint8_t> buf(1 << 20);
  for (;;) {
    client = ::accept4(ls, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      if (errno == EINTR) continue;
      die(std::string("accept: ") + std::strerror(errno));
    }
    for (;;) {
      ssize_t n = ::read(client, buf.data(), buf.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      stream.feed(buf.data(), static_cast<size_t>(n));
      if (stream.cut()) break;  // hang up half-way through the block
    }
    stream.reset();
    inst.connection_closed();
    ::close(client);
    client = -1;
  }
}

int serve_pty(SimOptions opt) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
    die(std::string("pseudo-terminal: ") + std::strerror(errno));
  const char* name = ::ptsname(master);
  if (!name) die("pseudo-terminal has no name");
  std::string path = name;
  // Holding the terminal side open keeps the line up between clients, and
  // raw mode keeps the line discipline from touching the bytes.
  int slave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) die("cannot open " + path + ": " + std::strerror(errno));
  termios t{};
  ::tcgetattr(slave, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(slave, TCSANOW, &t);
  std::printf("PTY %s\n", path.c_str());
  std::fflush(stdout);

  SimInstrument inst(opt, [master](const std::string& s) { write_all(master, s); });
  ScpiStream stream(inst);
  std::vector<uint8_t> buf(1 << 16);
  for (;;) {
    ssize_t n = ::read(master, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EIO) {  // no terminal side open for a moment
      ::usleep(10000);
      continue;
    }
    if (n <= 0) die(std::string("pseudo-terminal read: ") + std::strerror(errno));
    stream.feed(buf.data(), static_cast<size_t>(n));
  }
  (void)slave;
}

}  // namespace

int main(int argc, char** argv) {
  ::signal(SIGPIPE, SIG_IGN);
  SimOptions opt;
  int port = 5025;
  bool pty = false;
  bool vxi11 = false;
  uint32_t max_recv_size = 65536;
  for (int k = 1; k < argc; ++k) {
    std::string a = argv[k];
    auto value = [&]() -> const char* {
      if (k + 1 >= argc) die(a + " needs a value");
      return argv[++k];
    };
    if (a == "--port") {
      double p = number_arg("--port", value());
      if (!(p >= 0 && p <= 65535) || p != std::floor(p)) die("--port must be 0 to 65535");
      port = static_cast<int>(p);
    } else if (a == "--pty") {
      pty = true;
    } else if (a == "--vxi11") {
      vxi11 = true;
    } else if (a == "--max-recv-size") {
      double m = number_arg("--max-recv-size", value());
      if (!(m >= 64 && m <= (1 << 30)) || m != std::floor(m))
        die("--max-recv-size must be a whole number from 64 to 2^30");
      max_recv_size = static_cast<uint32_t>(m);
    } else if (a == "--log") {
      opt.log_path = value();
    } else if (a == "--model") {
      opt.model = value();
    } else if (a == "--store") {
      opt.store_dir = value();
    } else if (a == "--max-frequency") {
      opt.max_frequency = number_arg("--max-frequency", value());
    } else if (a == "--max-amplitude") {
      opt.max_amplitude = number_arg("--max-amplitude", value());
    } else if (a == "--fault") {
      std::string f = value();
      if (f == "close-mid-transfer")
        opt.fault = Fault::CloseMidTransfer;
      else if (f == "silent")
        opt.fault = Fault::Silent;
      else if (f == "garbage")
        opt.fault = Fault::Garbage;
      else
        die("--fault must be close-mid-transfer, silent or garbage");
    } else if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::fputs(kUsage, stderr);
      die("unknown option " + a);
    }
  }
  if (!opt.store_dir.empty()) {
    // The store folder is made when missing, so a dry run needs no set-up.
    std::error_code ec;
    std::filesystem::create_directories(opt.store_dir, ec);
    if (ec) die("cannot create the store folder " + opt.store_dir + ": " + ec.message());
  }
  if (pty && vxi11) die("--pty and --vxi11 exclude each other");
  if (vxi11) serve_vxi11(opt, port, max_recv_size);
  return pty ? serve_pty(opt) : serve_tcp(opt, port);
}
