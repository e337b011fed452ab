// A full disk for tests: a file-size limit (RLIMIT_FSIZE) with SIGXFSZ
// ignored makes every write past the limit fail with EFBIG, as a full disk
// makes it fail with ENOSPC, without filling a disk. Restored on destruction.
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace tarvio::testing {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit r{bytes, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &r);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  sighandler_t old_handler_ = SIG_DFL;
};

}  // namespace tarvio::testing
