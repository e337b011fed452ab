// Ordered packet generation and writing on worker threads with a bounded
// queue.
#include "control/packet_sink.h"

#include <utility>

namespace tarvio {

namespace {

// Packets made or being made and not yet written: enough to keep every
// thread busy, few enough that memory stays that of a few packets.
constexpr size_t kQueueDepth = 2;

}  // namespace

PacketSink::PacketSink(const std::string& packet_path, PacketLog& log, unsigned generators)
    : writer_(packet_path), log_(log), threaded_(generators > 0) {
  if (!threaded_) return;
  threads_.emplace_back([this] { write_loop(); });
  for (unsigned k = 0; k < generators; ++k) threads_.emplace_back([this] { generate_loop(); });
}

PacketSink::~PacketSink() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    queue_.clear();
  }
  stop();
}

void PacketSink::stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    closing_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
  threads_.clear();
}

void PacketSink::write(Slot& slot) {
  if (slot.copies > 0) {
    const Frame& last = result_.last;
    for (size_t k = 0; k < slot.copies; ++k) {
      if (!tap_only_) writer_.append(last.waveform.data(), last.waveform.size(), last.markers);
      if (tap_) tap_(last.waveform.data(), last.waveform.size());
    }
    log_.add(last.markers, slot.copies);
    return;
  }
  // The new packet becomes the last one: the previous one is not needed
  // while it is written.
  result_.last = Frame{};
  const CVec& w = slot.frame.waveform;
  const double peak = tap_only_ ? packet_file::Writer::peak(w.data(), w.size())
                                : writer_.append(w.data(), w.size(), slot.frame.markers);
  if (tap_) tap_(w.data(), w.size());
  log_.add(slot.frame.markers);
  result_.pushed.push_back({peak, w.size()});
  result_.last = std::move(slot.frame);
}

void PacketSink::generate_loop() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    std::shared_ptr<Slot> next;
    changed_.wait(lock, [&] {
      if (closing_) return true;
      for (auto& s : queue_)
        if (!s->taken) {
          next = s;
          return true;
        }
      return false;
    });
    if (next == nullptr) return;  // closing
    next->taken = true;
    std::function<Frame()> make = std::move(next->make);
    lock.unlock();
    Frame frame;
    std::exception_ptr error;
    try {
      frame = make();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    // The slot may have left the queue meanwhile (a failure or the end of
    // the sink); it is ours until this reference goes.
    next->frame = std::move(frame);
    next->error = error;
    next->made = true;
    changed_.notify_all();
  }
}

void PacketSink::write_loop() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    changed_.wait(lock, [this] { return (closing_ && queue_.empty()) || (!queue_.empty() && queue_.front()->made); });
    if (queue_.empty()) return;  // closing and nothing left
    std::shared_ptr<Slot> slot = std::move(queue_.front());
    queue_.pop_front();
    writing_ = true;
    lock.unlock();
    changed_.notify_all();
    std::exception_ptr error = slot->error;
    if (!error) {
      try {
        write(*slot);
      } catch (...) {
        error = std::current_exception();
      }
    }
    slot.reset();
    lock.lock();
    writing_ = false;
    if (error) {
      // Nothing after a failed packet is written.
      failure_ = error;
      queue_.clear();
      closing_ = true;
      changed_.notify_all();
      return;
    }
    changed_.notify_all();
  }
}

void PacketSink::push(std::function<Frame()> make) {
  Slot slot;
  if (!threaded_) {
    slot.frame = make();
    write(slot);
    return;
  }
  slot.make = std::move(make);
  enqueue(std::move(slot));
}

void PacketSink::push(Frame frame) {
  Slot slot;
  slot.frame = std::move(frame);
  slot.taken = slot.made = true;
  if (!threaded_) {
    write(slot);
    return;
  }
  enqueue(std::move(slot));
}

void PacketSink::repeat(size_t times) {
  if (times == 0) return;
  Slot slot;
  slot.copies = times;
  slot.taken = slot.made = true;
  if (!threaded_) {
    write(slot);
    return;
  }
  enqueue(std::move(slot));
}

void PacketSink::enqueue(Slot slot) {
  auto queued = std::make_shared<Slot>(std::move(slot));
  std::unique_lock<std::mutex> lock(mu_);
  changed_.wait(lock, [this] { return failure_ || queue_.size() < kQueueDepth; });
  if (failure_) std::rethrow_exception(failure_);
  queue_.push_back(std::move(queued));
  lock.unlock();
  changed_.notify_all();
}

void PacketSink::wait_written() {
  if (!threaded_) return;
  {
    std::unique_lock<std::mutex> lock(mu_);
    changed_.wait(lock, [this] { return failure_ || (queue_.empty() && !writing_); });
  }
  stop();
}

PacketSink::Result PacketSink::finish() {
  wait_written();
  if (failure_) std::rethrow_exception(failure_);
  writer_.close();
  return std::move(result_);
}

PacketSink::Result PacketSink::drain() {
  wait_written();
  try {
    writer_.close();
  } catch (...) {
  }
  return std::move(result_);
}

}  // namespace tarvio
