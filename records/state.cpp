// The one instance of the program-wide variables, and the records a thread
// may install for itself instead.
#include "records/state.h"

#include "records/thread_state.h"

namespace tarvio {

namespace {

thread_local State* t_state = nullptr;

}  // namespace

State& state() {
  static State s;
  return t_state ? *t_state : s;
}

State* use_thread_state(State* s) {
  State* old = t_state;
  t_state = s;
  return old;
}

CalculatedPackets packet_file_contents() {
  const State& s = state();
  const MultiFrame& m = s.parameters.multiFrame;
  if (s.calculated && s.calculated->file == m.tmpFileName) return *s.calculated;
  return {m.tmpFileName, s.parameters.numberOfPackets, m.pktSize, m.max};
}

}  // namespace tarvio
