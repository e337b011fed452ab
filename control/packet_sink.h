// The packets of a calculation on their way to the packet temporary file.
// The driver pushes the packets in order, each as a frame already made or
// as the work that makes it. With threads, generating threads make the
// frames of the next packets while a writing thread encodes and writes the
// finished ones, through a short bounded queue, so at most a few packets
// are held at once. Packets are written in the order pushed, so the file,
// the packet log and the peaks are the same with or without threads.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/packet_log.h"
#include "instrument/packet_writer.h"
#include "runtime/types.h"

namespace tarvio {

class PacketSink {
 public:
  // A written packet's peak (largest |I| or |Q|) and length in samples.
  struct Written {
    double peak = 0;
    size_t samples = 0;
  };
  struct Result {
    Frame last;                   // the last packet written
    std::vector<Written> pushed;  // one per packet made, in order
  };

  // Opens the packet file (emptied before) for appending. `generators` = 0
  // does everything on the caller's thread; otherwise one thread writes and
  // `generators` threads make the frames pushed as work.
  PacketSink(const std::string& packet_path, PacketLog& log, unsigned generators);
  // Stops the threads; packets still queued are dropped.
  ~PacketSink();
  PacketSink(const PacketSink&) = delete;
  PacketSink& operator=(const PacketSink&) = delete;

  // Hands every packet written to `tap` as well (on the writing thread, in
  // the file's order), or with `only` to `tap` instead of the file; set
  // before the first push.
  void tap(std::function<void(const cplx*, size_t)> t, bool only) {
    tap_ = std::move(t);
    tap_only_ = only && tap_;
  }
  // Queues the next packet, made by `make` (on a generating thread); waits
  // while the queue is full. Rethrows a failure of an earlier packet.
  void push(std::function<Frame()> make);
  // Queues the next packet, already made.
  void push(Frame frame);
  // Queues `times` more copies of the last packet pushed.
  void repeat(size_t times);
  // Writes everything queued, closes the files and hands back the last
  // packet and the peaks; rethrows the failure of a packet (those before it
  // are written, those after it are not).
  Result finish();
  // The same, but a failure is not rethrown: what was written before it is
  // handed back. For a driver that is already failing.
  Result drain();

 private:
  struct Slot {
    std::function<Frame()> make;  // empty once made
    Frame frame;
    size_t copies = 0;  // > 0: copies of the last packet instead of a frame
    bool taken = false;
    bool made = false;
    std::exception_ptr error;
  };
  void write(Slot& slot);
  // Queues a slot for the writing thread, waiting while the queue is full;
  // rethrows a failure of the threads.
  void enqueue(Slot slot);
  void generate_loop();
  void write_loop();
  void stop();
  void wait_written();

  packet_file::Writer writer_;
  PacketLog& log_;
  std::function<void(const cplx*, size_t)> tap_;
  bool tap_only_ = false;
  Result result_;
  bool threaded_;

  std::mutex mu_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Slot>> queue_;  // in push order; the front is written next
  bool closing_ = false;
  bool writing_ = false;
  std::exception_ptr failure_;
  std::vector<std::thread> threads_;
};

}  // namespace tarvio
