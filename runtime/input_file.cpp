// The readability check for input files.
#include "runtime/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tarvio {

namespace {

// The system's text with a small first letter, to follow "PATH: ".
std::string reason_text(int err) {
  std::string r = std::strerror(err);
  if (!r.empty()) r[0] = char(std::tolower(static_cast<unsigned char>(r[0])));
  return r;
}

}  // namespace

std::string input_file_problem(const std::string& path) {
  if (path.empty()) return "no file name given";
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return reason_text(errno);
  struct stat st {};
  const bool stat_ok = ::fstat(fd, &st) == 0;
  const int err = errno;
  ::close(fd);
  if (!stat_ok) return reason_text(err);
  if (S_ISDIR(st.st_mode)) return reason_text(EISDIR);
  return "";
}

void check_input_file(const std::string& path) {
  const std::string problem = input_file_problem(path);
  if (!problem.empty()) throw std::runtime_error((path.empty() ? std::string("''") : path) + ": " + problem);
}

}  // namespace tarvio
