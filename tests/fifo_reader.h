// Reads everything written into a FIFO on a thread of its own, so that a
// test writing into it cannot hang: the read end is opened at once without
// waiting for a writer, and reading gives up after a time limit.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace tarvio::testing {

class FifoReader {
 public:
  // Makes the FIFO at `path` and opens its read end.
  explicit FifoReader(const std::string& path) {
    ::mkfifo(path.c_str(), 0600);
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    thread_ = std::thread([this] { run(); });
  }
  ~FifoReader() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  FifoReader(const FifoReader&) = delete;
  FifoReader& operator=(const FifoReader&) = delete;

  // Waits until the writer has closed its end (or the time limit), then
  // returns what was read.
  std::string bytes() {
    if (thread_.joinable()) thread_.join();
    return bytes_;
  }

 private:
  void run() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    char buf[65536];
    // Before a writer has opened its end, a read gives 0 as at the end: the
    // end counts only once bytes have come.
    while (!stop_ && fd_ >= 0 && std::chrono::steady_clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n > 0) bytes_.append(buf, size_t(n));
      if (n == 0 && !bytes_.empty()) return;
      if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::string bytes_;
  std::thread thread_;
};

}  // namespace tarvio::testing
