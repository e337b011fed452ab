// The packets of a calculation on their way to the packet temporary file.
// The driver pushes each generated packet in order; a second thread encodes
// and writes them while the next ones are generated, through a short
// bounded queue, so at most a few packets are held at once. Packets are
// written in the order pushed, so the file, the packet log and the peaks are
// the same with or without the thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
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
    Frame last;                   // the last packet pushed
    std::vector<Written> pushed;  // one per push(), in order
  };

  // Opens the packet file (emptied before) for appending; `threaded` writes
  // on a second thread.
  PacketSink(const std::string& packet_path, PacketLog& log, bool threaded);
  // Stops the writer; packets still queued are dropped.
  ~PacketSink();
  PacketSink(const PacketSink&) = delete;
  PacketSink& operator=(const PacketSink&) = delete;

  // Queues the next packet; waits while the queue is full. Rethrows a
  // failure of the writer.
  void push(Frame frame);
  // Queues `times` more copies of the last packet pushed.
  void repeat(size_t times);
  // Writes everything queued, closes the files and hands back the last
  // packet and the peaks; rethrows a failure of the writer.
  Result finish();

 private:
  struct Item {
    Frame frame;
    size_t copies = 0;  // > 0: copies of the last packet instead of a frame
  };
  void process(Item& item);
  void enqueue(Item item);
  void run();
  void stop();

  packet_file::Writer writer_;
  PacketLog& log_;
  Result result_;
  bool threaded_;

  std::mutex mu_;
  std::condition_variable changed_;
  std::deque<Item> queue_;
  bool closing_ = false;
  bool busy_ = false;
  std::exception_ptr failure_;
  std::thread worker_;
};

}  // namespace tarvio
