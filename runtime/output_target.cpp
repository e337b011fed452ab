// Output targets by their kind, temporary names carrying the process id,
// and the removal of temporaries that killed runs left behind.
#include "runtime/output_target.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

namespace tarvio::output_target {

namespace {

constexpr size_t kRandom = 8;
// Links followed at most on the way to a name not there yet, as the
// system's own limit for a path.
constexpr int kMaxLinks = 40;

std::string folder_prefix(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string base_name(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string random_word(size_t n) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 gen([] {
    std::random_device rd;
    const uint64_t t = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    return (uint64_t(rd()) << 32) ^ uint64_t(rd()) ^ t ^ (uint64_t(::getpid()) << 16);
  }());
  std::string w(n, 'x');
  for (char& c : w) c = kChars[gen() % (sizeof kChars - 1)];
  return w;
}

bool is_alnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

const char* kind_text(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a folder, not a file";
  if (S_ISBLK(mode)) return "it is a block device; outputs go to files, character devices and FIFOs only";
  if (S_ISSOCK(mode)) return "it is a socket; outputs go to files, character devices and FIFOs only";
  return "it is not a file; outputs go to files, character devices and FIFOs only";
}

// The kind of an existing target that a link leads to, or of the path.
bool take_kind(const std::string& path, mode_t mode, Target& target, std::string& error) {
  if (S_ISCHR(mode) || S_ISFIFO(mode)) {
    target = {Way::kInPlace, path};
    return true;
  }
  error = kind_text(mode);
  return false;
}

// Follows a chain of links that ends in a name not there yet; that name is
// where the file is made.
bool follow_dangling(const std::string& path, Target& target, std::string& error) {
  std::string p = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat ls {};
    if (::lstat(p.c_str(), &ls) != 0) {
      if (errno != ENOENT) {
        error = std::strerror(errno);
        return false;
      }
      target = {Way::kReplace, p};
      return true;
    }
    if (!S_ISLNK(ls.st_mode)) {  // appeared meanwhile: decide on what is there now
      return resolve(p, target, error);
    }
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(p.c_str(), link.data(), link.size());
    if (n < 0 || size_t(n) >= link.size()) {
      error = n < 0 ? std::strerror(errno) : "the link's target is too long";
      return false;
    }
    link.resize(size_t(n));
    p = !link.empty() && link[0] == '/' ? link : folder_prefix(p) + link;
  }
  error = std::strerror(ELOOP);
  return false;
}

}  // namespace

bool resolve(const std::string& path, Target& target, std::string& error) {
  struct stat ls {};
  if (::lstat(path.c_str(), &ls) != 0) {
    if (errno == ENOENT) {  // a new file; whether its folder takes it shows when it is made
      target = {Way::kReplace, path};
      return true;
    }
    error = std::strerror(errno);
    return false;
  }
  if (S_ISREG(ls.st_mode)) {
    target = {Way::kReplace, path};
    return true;
  }
  if (!S_ISLNK(ls.st_mode)) return take_kind(path, ls.st_mode, target, error);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return follow_dangling(path, target, error);
    error = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) return take_kind(path, st.st_mode, target, error);
  // The file the link leads to is replaced in its own folder, so that the
  // rename stays within one file system and the link keeps pointing at it.
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  if (!real) {
    error = std::strerror(errno);
    return false;
  }
  target = {Way::kReplace, real.get()};
  return true;
}

int open_in_place(const std::string& path) {
  for (;;) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

std::string temp_name(const std::string& path, const std::string& suffix, size_t name_max) {
  const std::string pid = std::to_string(long(::getpid()));
  const std::string name = base_name(path);
  const size_t overhead = 3 + pid.size() + kRandom + suffix.size();  // three dots
  const size_t keep = name_max > overhead ? std::min(name.size(), name_max - overhead) : 0;
  return folder_prefix(path) + "." + name.substr(0, keep) + "." + pid + "." + random_word(kRandom) + suffix;
}

bool process_gone(long pid) {
  if (pid <= 0 || pid > long(INT_MAX)) return false;  // 0 and negatives name process groups
  return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

bool own_regular_file(const std::string& path) {
  struct stat ls {};
  return ::lstat(path.c_str(), &ls) == 0 && S_ISREG(ls.st_mode) && ls.st_uid == ::geteuid();
}

int remove_stale_temps(const std::string& folder, const std::string& suffix, const std::string& for_name) {
  struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
  };
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
  if (!dir) return 0;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  int removed = 0;
  while (const dirent* e = ::readdir(dir.get())) {
    const std::string name = e->d_name;
    // ".STEM.PID.RANDOM" + suffix, read from the end.
    if (name.size() < 4 + kRandom + suffix.size() || name[0] != '.' ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    const std::string core = name.substr(1, name.size() - 1 - suffix.size());
    if (core.size() < kRandom + 3) continue;
    const size_t random_at = core.size() - kRandom;
    bool random_ok = core[random_at - 1] == '.';
    for (size_t k = random_at; random_ok && k < core.size(); ++k) random_ok = is_alnum(core[k]);
    if (!random_ok) continue;
    const size_t pid_end = random_at - 1;
    size_t pid_at = pid_end;
    while (pid_at > 0 && core[pid_at - 1] >= '0' && core[pid_at - 1] <= '9') --pid_at;
    if (pid_at == pid_end || pid_at == 0 || core[pid_at - 1] != '.' || pid_end - pid_at > 10) continue;
    const std::string stem = core.substr(0, pid_at - 1);
    if (!for_name.empty() && for_name.compare(0, stem.size(), stem) != 0) continue;
    const long pid = std::strtol(core.c_str() + pid_at, nullptr, 10);
    const std::string full = prefix + name;
    if (!process_gone(pid) || !own_regular_file(full)) continue;
    if (::unlink(full.c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace tarvio::output_target
