// Unique partial outputs, anonymous scratch files and the host's clean-up
// table for the export plug-in.
#include "export_files.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/output_target.h"

namespace tarvio::exportfiles {

namespace {

std::string folder_prefix(const std::string& near) {
  const auto slash = near.find_last_of('/');
  return slash == std::string::npos ? std::string() : near.substr(0, slash + 1);
}

std::string base_name(const std::string& near) {
  const auto slash = near.find_last_of('/');
  return slash == std::string::npos ? near : near.substr(slash + 1);
}

template <typename Fn>
Fn host_function(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace

std::string errno_text() { return std::strerror(errno); }

std::FILE* create_unique(const std::string& near, const char* suffix, bool readable, std::string& name, int& cleanup,
                         std::string& error) {
  const std::string dir = folder_prefix(near);
  const std::string base = base_name(near);
  if (base.empty()) {
    error = "no file name given";
    return nullptr;
  }
  // The temporary's name keeps at most the first bytes of the final name
  // that fit the usual 255-byte limit whatever the final name; those of
  // this name that killed runs left here go first.
  output_target::remove_stale_temps(dir, suffix, base);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = output_target::temp_name(near, suffix, 255);
    cleanup = host_cleanup_register(candidate);
    const int fd = ::open(candidate.c_str(), (readable ? O_RDWR : O_WRONLY) | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int err = errno;
      host_cleanup_forget(cleanup);  // the name is someone else's, or nothing was made
      cleanup = -1;
      if (err == EEXIST) continue;
      error = std::strerror(err);
      return nullptr;
    }
    std::FILE* f = ::fdopen(fd, readable ? "w+b" : "wb");
    if (f == nullptr) {
      error = errno_text();
      ::close(fd);
      ::unlink(candidate.c_str());
      host_cleanup_forget(cleanup);
      cleanup = -1;
      return nullptr;
    }
    name = std::move(candidate);
    return f;
  }
  error = "no unused temporary name in the folder";
  return nullptr;
}

std::FILE* open_scratch(const std::string& near, std::string& error) {
  const std::string dir = folder_prefix(near);
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    if (std::FILE* f = ::fdopen(fd, "w+b")) return f;
    ::close(fd);
  }
  // No nameless files here: a named one, on the clean-up table until it is
  // unlinked.
  std::string name;
  int cleanup = -1;
  std::FILE* f = create_unique(near, ".scratch", true, name, cleanup, error);
  if (f != nullptr) ::unlink(name.c_str());
  host_cleanup_forget(cleanup);
  return f;
}

int host_cleanup_register(const std::string& path) {
  static const auto fn = host_function<int (*)(const char*)>("tarvio_cleanup_register");
  return fn != nullptr ? fn(path.c_str()) : -1;
}

void host_cleanup_forget(int handle) {
  static const auto fn = host_function<void (*)(int)>("tarvio_cleanup_forget");
  if (fn != nullptr && handle >= 0) fn(handle);
}

}  // namespace tarvio::exportfiles
