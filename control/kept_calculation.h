// The outcome of the last calculation, put aside while a new one runs, so
// that a run the user stops leaves the previous waveform as it was: the
// packet file and its marker file (moved, not copied: they can hold
// gigabytes), the packet log, `waveform`, `markers`, the packet size and
// peak, the record of what the packet file holds, and the frame check
// sequence of the last packet.
#pragma once

#include <optional>
#include <string>

#include "control/packet_log.h"
#include "records/state.h"
#include "runtime/types.h"

namespace tarvio {

class KeptCalculation {
 public:
  // Puts the current outcome aside. Throws std::runtime_error naming the
  // file when the packet file cannot be moved.
  KeptCalculation();
  // Without restore(): the new run stands and the kept files are removed.
  ~KeptCalculation();
  KeptCalculation(const KeptCalculation&) = delete;
  KeptCalculation& operator=(const KeptCalculation&) = delete;

  // Puts the kept outcome back in place of whatever the new run left (an
  // empty packet file when there was none before).
  void restore();

 private:
  std::string path_;  // the packet file at the time of keeping
  bool had_file_ = false;
  bool restored_ = false;
  CVec waveform_;
  Markers markers_;
  PacketLog log_;
  double pktSize_ = 0, max_ = 0;
  std::vector<double> fcs_;
  std::optional<CalculatedPackets> calculated_;
};

}  // namespace tarvio
