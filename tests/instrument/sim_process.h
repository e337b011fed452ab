// Starts the simulated instrument (TARVIO_BIN/tarvio-sim) for a test, reads
// where it listens from its first output line, and ends it (by its process
// id) when the test is done.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace tarvio::testing {

// A loopback port nobody listens on: bound, then released.
inline int unused_port() {
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
}

inline bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args) {
    std::string exe = std::string(TARVIO_BIN) + "/tarvio-sim";
    args.insert(args.begin(), exe);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    int rc = posix_spawn(&pid_, exe.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(fds[1]);
    if (rc != 0) {
      ::close(fds[0]);
      throw std::runtime_error("cannot start " + exe);
    }
    std::string line;
    char c;
    pollfd p{fds[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos) {
      if (::poll(&p, 1, 10000) <= 0 || ::read(fds[0], &c, 1) != 1) {
        ::close(fds[0]);
        stop();
        throw std::runtime_error("tarvio-sim did not say where it listens");
      }
      line += c;
    }
    ::close(fds[0]);
    line.pop_back();
    if (line.rfind("PORT ", 0) == 0) port_ = std::stoi(line.substr(5));
    if (line.rfind("PTY ", 0) == 0) pty_ = line.substr(4);
  }
  ~SimProcess() { stop(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  int port() const { return port_; }
  const std::string& pty() const { return pty_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  void stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int st = 0;
      ::waitpid(pid_, &st, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string pty_;
};

}  // namespace tarvio::testing
