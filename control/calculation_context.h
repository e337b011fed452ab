// The records and the packet log of one calculation, installed on the
// thread that runs it: with a context of its own per thread, calculations
// on several threads at once neither read nor change each other's
// parameters, waveform or packet log. The generators themselves keep no
// state between calls, and their shared plan caches take their own locks.
#pragma once

#include "control/packet_log.h"
#include "records/state.h"

namespace tarvio {

// Makes `log` what last_packet_log() returns on the calling thread (null:
// the program-wide log again); returns the one it replaces.
PacketLog* use_thread_packet_log(PacketLog* log);

// Installs a State and a PacketLog on the calling thread for the lifetime
// of the object, and puts back what was installed before.
class ThreadCalculationContext {
 public:
  ThreadCalculationContext(State& s, PacketLog& log);
  ~ThreadCalculationContext();
  ThreadCalculationContext(const ThreadCalculationContext&) = delete;
  ThreadCalculationContext& operator=(const ThreadCalculationContext&) = delete;

 private:
  State* state_;
  PacketLog* log_;
};

}  // namespace tarvio
