// Runs the built tarvio-cli for a test: in a given working folder, with its
// standard output and error collected from pipes (not a terminal) or both
// on a pseudo-terminal (a terminal, as a user at a console sees them).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvio::testing {

struct CliResult {
  int code = -1;
  std::string out, err;  // on a terminal both streams arrive in `out`
};

inline std::string cli_path() { return std::string(TARVIO_BIN) + "/tarvio-cli"; }

namespace cli_run_detail {

[[noreturn]] inline void exec_cli(const std::vector<std::string>& args, const std::string& dir) {
  if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(126);
  std::vector<std::string> a = args;
  a.insert(a.begin(), cli_path());
  std::vector<char*> argv;
  for (auto& s : a) argv.push_back(s.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

// Reads the descriptors until every one reports end of file.
inline void drain(std::vector<std::pair<int, std::string*>> fds) {
  while (!fds.empty()) {
    std::vector<pollfd> p;
    for (auto& [fd, s] : fds) p.push_back({fd, POLLIN, 0});
    if (::poll(p.data(), p.size(), 120000) <= 0) break;
    for (size_t i = p.size(); i-- > 0;) {
      if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      const ssize_t n = ::read(fds[i].first, buf, sizeof buf);
      if (n > 0) {
        fds[i].second->append(buf, static_cast<size_t>(n));
      } else {
        ::close(fds[i].first);
        fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
  }
  for (auto& [fd, s] : fds) ::close(fd);
}

inline int wait_code(pid_t pid) {
  int st = 0;
  ::waitpid(pid, &st, 0);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

}  // namespace cli_run_detail

// Standard output and error on pipes; standard input empty.
inline CliResult run_cli(const std::vector<std::string>& args, const std::string& dir = "") {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::close(out[0]), ::close(err[0]), ::close(out[1]), ::close(err[1]);
    cli_run_detail::exec_cli(args, dir);
  }
  ::close(out[1]), ::close(err[1]);
  CliResult r;
  cli_run_detail::drain({{out[0], &r.out}, {err[0], &r.err}});
  r.code = cli_run_detail::wait_code(pid);
  return r;
}

// Standard input, output and error on one pseudo-terminal; what the
// terminal shows is returned in `out`.
inline CliResult run_cli_on_terminal(const std::vector<std::string>& args, const std::string& dir = "") {
  int master = -1;
  winsize ws{24, 120, 0, 0};
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, &ws);
  if (pid < 0) throw std::runtime_error("forkpty failed");
  if (pid == 0) cli_run_detail::exec_cli(args, dir);
  CliResult r;
  cli_run_detail::drain({{master, &r.out}});  // EIO once the child has closed the terminal
  r.code = cli_run_detail::wait_code(pid);
  return r;
}

// A fresh folder below the temporary folder, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::string t = (std::filesystem::temp_directory_path() / "tarvio-cli-XXXXXX").string();
    if (!::mkdtemp(t.data())) throw std::runtime_error("mkdtemp failed");
    path_ = t;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline bool has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

}  // namespace tarvio::testing
