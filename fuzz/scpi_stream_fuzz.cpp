// The byte stream a simulated instrument receives: SCPI messages with IEEE
// 488.2 definite-length blocks, split at every position the first byte
// chooses, then the instrument's handling of each message.
#include <cstdint>
#include <string>

#include "hosts/sim/scpi_stream.h"
#include "hosts/sim/sim_instrument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvio::sim;
  if (size == 0) return 0;
  const size_t piece = size_t(data[0]) + 1;
  SimOptions opt;
  std::string replies;
  SimInstrument inst(opt, [&replies](const std::string& s) {
    if (replies.size() < (1 << 20)) replies += s;
  });
  ScpiStream stream(inst);
  for (size_t at = 1; at < size; at += piece) stream.feed(data + at, std::min(piece, size - at));
  stream.reset();
  inst.connection_closed();
  return 0;
}
