// Files of this run that must not outlive an interrupted run: temporary and
// partial outputs and the packet temporary file. Writers register a file
// while it exists; a host program installs the interrupt handler, which on
// SIGINT, SIGTERM or SIGHUP removes every file still registered and ends the
// process with exit status 128 + the signal number.
//
// The table is fixed in size and read by the handler without locks or
// allocation, so the handler only calls unlink() and _exit().
#pragma once

#include <atomic>
#include <string>

namespace tarvio {

// Registers a file (made absolute, so a later change of working folder does
// not matter). Returns a handle for cleanup_forget(), or -1 when the table
// is full or the path too long: the file is then not protected, which only
// matters if the run is interrupted.
int cleanup_register(const std::string& path);
// Takes a file off the table (a handle of -1 is ignored).
void cleanup_forget(int handle);
// Number of files registered now.
int cleanup_count();

// Installs the handler for SIGINT, SIGTERM and SIGHUP, and ignores SIGXFSZ,
// so that a write past the file-size limit (ulimit -f) fails with EFBIG and
// is reported like a full disk, its files removed, instead of killing the
// process without a word. Meant for host programs; the library itself
// never changes signal dispositions.
void install_interrupt_cleanup();

// While a DeferredInterrupt is alive, the first SIGINT, SIGTERM or SIGHUP
// does not end the process: it sets the flag that stop_flag() returns, so
// that a loop (a device stream) can stop cleanly and the host exit with
// 128 + interrupt_signal(). A second signal ends the process as usual.
class DeferredInterrupt {
 public:
  DeferredInterrupt();
  ~DeferredInterrupt();
  DeferredInterrupt(const DeferredInterrupt&) = delete;
  DeferredInterrupt& operator=(const DeferredInterrupt&) = delete;
  const std::atomic<bool>& stop_flag() const;
  // The signal that set the flag; 0 when none came.
  int interrupt_signal() const;
};

// Holds one registration for the lifetime of a scope or an object.
class CleanupGuard {
 public:
  CleanupGuard() = default;
  explicit CleanupGuard(const std::string& path) : handle_(cleanup_register(path)) {}
  ~CleanupGuard() { cleanup_forget(handle_); }
  CleanupGuard(CleanupGuard&& o) noexcept : handle_(o.handle_) { o.handle_ = -1; }
  CleanupGuard& operator=(CleanupGuard&& o) noexcept {
    if (this != &o) {
      cleanup_forget(handle_);
      handle_ = o.handle_;
      o.handle_ = -1;
    }
    return *this;
  }
  CleanupGuard(const CleanupGuard&) = delete;
  CleanupGuard& operator=(const CleanupGuard&) = delete;
  // The file stays on the table no longer (it was renamed or removed).
  void release() {
    cleanup_forget(handle_);
    handle_ = -1;
  }

 private:
  int handle_ = -1;
};

}  // namespace tarvio

// The same registry for modules that are loaded by name and link against
// nothing of the library (the export plug-in finds these with dlsym).
extern "C" int tarvio_cleanup_register(const char* path);
extern "C" void tarvio_cleanup_forget(int handle);
