// The one instance of the program-wide variables.
#include "records/state.h"

namespace tarvio {

State& state() {
  static State s;
  return s;
}

CalculatedPackets packet_file_contents() {
  const State& s = state();
  const MultiFrame& m = s.parameters.multiFrame;
  if (s.calculated && s.calculated->file == m.tmpFileName) return *s.calculated;
  return {m.tmpFileName, s.parameters.numberOfPackets, m.pktSize, m.max};
}

}  // namespace tarvio
