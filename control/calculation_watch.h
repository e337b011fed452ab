// Lets a host that runs the calculation on a worker thread follow it and
// stop it: the calculation reports each packet it starts to the watch
// installed on its thread, and stops with CalculationCancelled at the next
// packet once the watch has been asked to.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <stdexcept>

#include "runtime/types.h"

namespace tarvio {

class CalculationCancelled : public std::runtime_error {
 public:
  CalculationCancelled() : std::runtime_error("The calculation was cancelled.") {}
};

// Written by the calculating thread, read by any other.
struct CalculationWatch {
  std::atomic<bool> cancel{false};      // set by the host to stop the run
  std::atomic<double> packets_done{0};  // packets finished so far
  std::atomic<double> packets{0};       // packets of the run; 0 until it starts them
  // When set before the run: called on the writing thread with the samples
  // of every packet as it goes into the packet file, in the file's order
  // (repeated packets included), so that a host can keep the waveform in
  // its own memory instead of reading the file back. An exception thrown
  // here ends the run as a failed write does.
  std::function<void(const cplx* samples, size_t n)> on_packet;
  // With on_packet: the packets go to the host only and the packet file
  // stays empty (a host that keeps the waveform in its memory needs no copy
  // on disk); the peaks, lengths and packet log are those of a written run.
  bool host_only = false;
};

// Installs the watch of the calculations run on the calling thread (null:
// none); returns the one it replaces.
CalculationWatch* watch_calculations(CalculationWatch* w);
// The watch installed on the calling thread, or null.
CalculationWatch* current_watch();

// The calculation's report before packet `done` + 1 of `total` (and with
// done = total at the end): stores the progress, then, while packets
// remain, throws CalculationCancelled when the watch asks to stop (a run
// that has finished its packets is kept).
void calculation_progress(double done, double total);

}  // namespace tarvio
