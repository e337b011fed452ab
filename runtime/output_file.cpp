// Output files written under a unique temporary name and renamed into
// place when complete.
#include "runtime/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "runtime/output_target.h"

namespace tarvio {

namespace {

namespace fs = std::filesystem;

// Writes above this size skip the buffer.
constexpr size_t kBufferBytes = 1 << 20;

std::string reason(int err) { return std::strerror(err); }

std::string folder_of(const std::string& path) {
  const std::string dir = fs::path(path).parent_path().string();
  return dir.empty() ? "." : dir;
}

size_t name_max(const std::string& dir) {
  const long n = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  return n > 0 ? size_t(n) : size_t(NAME_MAX);
}

bool write_fully(int fd, const uint8_t* p, size_t n, int& err) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    if (w == 0) {  // no progress: treat as a full device
      err = ENOSPC;
      return false;
    }
    p += w;
    n -= size_t(w);
  }
  return true;
}

}  // namespace

void check_output_path(const std::string& path) {
  if (path.empty()) throw std::runtime_error("cannot create the file: no file name given");
  const fs::path p(path);
  const std::string name = p.filename().string();
  if (name.empty() || name == "." || name == "..")
    throw std::runtime_error("cannot create '" + path + "': the name is a folder, not a file");
  if (path.size() >= PATH_MAX)
    throw std::runtime_error("cannot create '" + path.substr(0, 60) + "...': the path is " +
                             std::to_string(path.size()) + " bytes long; this system allows at most " +
                             std::to_string(PATH_MAX - 1));
  const size_t limit = name_max(folder_of(path));
  if (name.size() > limit)
    throw std::runtime_error("cannot create '" + path + "': the file name is " + std::to_string(name.size()) +
                             " bytes long; this file system allows at most " + std::to_string(limit));
}

int create_unique_temp(const std::string& path, const std::string& suffix, int open_flags, std::string& temp,
                       CleanupGuard& guard) {
  check_output_path(path);
  const std::string dir = folder_of(path);
  const size_t limit = name_max(dir);
  // Temporaries of this name that a killed run left here go first.
  output_target::remove_stale_temps(dir, suffix, fs::path(path).filename().string());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string t = output_target::temp_name(path, suffix, limit);
    guard = CleanupGuard(t);
    const int fd = ::open(t.c_str(), open_flags | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      temp = std::move(t);
      return fd;
    }
    const int err = errno;
    guard.release();  // the name is someone else's, or nothing was made
    if (err != EEXIST) throw std::runtime_error("cannot create '" + path + "': " + reason(err));
  }
  throw std::runtime_error("cannot create '" + path + "': no unused temporary name in its folder");
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
  check_output_path(path);
  output_target::Target target;
  std::string why;
  if (!output_target::resolve(path, target, why)) throw std::runtime_error("cannot write '" + path + "': " + why);
  if (target.way == output_target::Way::kInPlace) {
    fd_ = output_target::open_in_place(target.path);
    if (fd_ < 0) throw std::runtime_error("cannot open '" + path + "': " + reason(errno));
    in_place_ = true;
  } else {
    target_ = target.path;
    fd_ = create_unique_temp(target_, ".partial", O_WRONLY, temp_, guard_);
  }
  buf_.reserve(kBufferBytes);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

void OutputFile::fail(const std::string& what) const {
  throw std::runtime_error("cannot write '" + path_ + "': " + what);
}

void OutputFile::flush() {
  if (buf_.empty()) return;
  int err = 0;
  const bool good = write_fully(fd_, buf_.data(), buf_.size(), err);
  buf_.clear();
  if (!good) fail(reason(err));
}

void OutputFile::write(const void* data, size_t n) {
  if (fd_ < 0) fail("the file is closed");
  const auto* p = static_cast<const uint8_t*>(data);
  if (buf_.size() + n <= kBufferBytes) {
    buf_.insert(buf_.end(), p, p + n);
  } else {
    flush();
    if (n < kBufferBytes) {
      buf_.insert(buf_.end(), p, p + n);
    } else {
      int err = 0;
      if (!write_fully(fd_, p, n, err)) fail(reason(err));
    }
  }
  written_ += n;
}

void OutputFile::close() {
  if (fd_ < 0) fail("the file is closed");
  flush();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail(reason(errno));
  closed_ = true;
}

void OutputFile::commit() {
  if (!closed_) close();
  if (committed_) return;
  if (in_place_) {  // the bytes are where they belong once written
    committed_ = true;
    return;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0)
    throw std::runtime_error("cannot replace '" + path_ + "': " + reason(errno));
  committed_ = true;
  guard_.release();
}

}  // namespace tarvio
