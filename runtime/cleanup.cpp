// The table of files to remove when the run is interrupted, and the signal
// handler that removes them.
#include "runtime/cleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>

namespace tarvio {

namespace {

constexpr int kSlots = 256;

enum SlotState : int { kFree = 0, kFilling = 1, kArmed = 2 };

// A slot is claimed by moving it from kFree to kFilling, filled, then armed;
// the handler only reads armed slots, whose path no longer changes.
struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};

Slot g_slots[kSlots];

std::atomic<bool> g_defer{false};
std::atomic<bool> g_stop{false};
std::atomic<int> g_stop_signal{0};

void on_interrupt(int sig) {
  if (g_defer.load() && !g_stop.load()) {
    g_stop_signal.store(sig);
    g_stop.store(true);
    return;
  }
  for (Slot& s : g_slots)
    if (s.state.load(std::memory_order_acquire) == kArmed) ::unlink(s.path);
  ::_exit(128 + sig);
}

}  // namespace

DeferredInterrupt::DeferredInterrupt() {
  g_stop.store(false);
  g_stop_signal.store(0);
  g_defer.store(true);
}
DeferredInterrupt::~DeferredInterrupt() { g_defer.store(false); }
const std::atomic<bool>& DeferredInterrupt::stop_flag() const { return g_stop; }
int DeferredInterrupt::interrupt_signal() const { return g_stop_signal.load(); }

int cleanup_register(const std::string& path) {
  std::error_code ec;
  std::string full = std::filesystem::absolute(path, ec).string();
  if (ec) full = path;
  if (full.empty() || full.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acq_rel)) continue;
    std::memcpy(g_slots[i].path, full.c_str(), full.size() + 1);
    g_slots[i].state.store(kArmed, std::memory_order_release);
    return i;
  }
  return -1;
}

void cleanup_forget(int handle) {
  if (handle >= 0 && handle < kSlots) g_slots[handle].state.store(kFree, std::memory_order_release);
}

int cleanup_count() {
  int n = 0;
  for (const Slot& s : g_slots) n += s.state.load(std::memory_order_acquire) == kArmed;
  return n;
}

void install_interrupt_cleanup() {
  struct sigaction sa {};
  sa.sa_handler = on_interrupt;
  sigemptyset(&sa.sa_mask);
  // While the handler runs, the other two signals wait: they would only
  // start the same removal again.
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&sa.sa_mask, s);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored when the program started (nohup, a background job)
    // stays ignored.
    struct sigaction old {};
    if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(s, &sa, nullptr);
  }
  ::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace tarvio

extern "C" __attribute__((visibility("default"))) int tarvio_cleanup_register(const char* path) {
  return path ? tarvio::cleanup_register(path) : -1;
}

extern "C" __attribute__((visibility("default"))) void tarvio_cleanup_forget(int handle) {
  tarvio::cleanup_forget(handle);
}
