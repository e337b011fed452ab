// Ordered packet writing on a second thread with a bounded queue.
#include "control/packet_sink.h"

#include <utility>

namespace tarvio {

namespace {

// Packets waiting to be written: enough to keep the writer busy while the
// generator works, few enough that memory stays that of a few packets.
constexpr size_t kQueueDepth = 2;

}  // namespace

PacketSink::PacketSink(const std::string& packet_path, PacketLog& log, bool threaded)
    : writer_(packet_path), log_(log), threaded_(threaded) {
  if (threaded_) worker_ = std::thread([this] { run(); });
}

PacketSink::~PacketSink() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    queue_.clear();
  }
  stop();
}

void PacketSink::stop() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mu_);
    closing_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void PacketSink::process(Item& item) {
  if (item.copies > 0) {
    writer_.repeat(item.copies);
    log_.add(result_.last.markers, item.copies);
    return;
  }
  const CVec& w = item.frame.waveform;
  const double peak = writer_.append(w.data(), w.size(), item.frame.markers);
  log_.add(item.frame.markers);
  result_.pushed.push_back({peak, w.size()});
  result_.last = std::move(item.frame);
}

void PacketSink::run() {
  for (;;) {
    Item item;
    {
      std::unique_lock<std::mutex> lock(mu_);
      changed_.wait(lock, [this] { return closing_ || !queue_.empty(); });
      if (queue_.empty()) return;  // closing and nothing left
      item = std::move(queue_.front());
      queue_.pop_front();
      busy_ = true;
    }
    changed_.notify_all();
    std::exception_ptr failed;
    try {
      process(item);
    } catch (...) {
      failed = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mu_);
      busy_ = false;
      if (failed) {
        failure_ = failed;
        queue_.clear();
        closing_ = true;
      }
    }
    changed_.notify_all();
    if (failed) return;
  }
}

void PacketSink::enqueue(Item item) {
  if (!threaded_) {
    process(item);
    return;
  }
  std::unique_lock<std::mutex> lock(mu_);
  changed_.wait(lock, [this] { return failure_ || queue_.size() < kQueueDepth; });
  if (failure_) std::rethrow_exception(failure_);
  queue_.push_back(std::move(item));
  lock.unlock();
  changed_.notify_all();
}

void PacketSink::push(Frame frame) { enqueue(Item{std::move(frame), 0}); }

void PacketSink::repeat(size_t times) {
  if (times > 0) enqueue(Item{Frame{}, times});
}

PacketSink::Result PacketSink::finish() {
  if (threaded_) {
    {
      std::unique_lock<std::mutex> lock(mu_);
      changed_.wait(lock, [this] { return failure_ || (queue_.empty() && !busy_); });
    }
    stop();
    if (failure_) std::rethrow_exception(failure_);
  }
  writer_.close();
  return std::move(result_);
}

}  // namespace tarvio
