// What the last calculation appended to the packet temporary file: the
// packets' lengths and marker rows, kept as runs of equal packets (the file
// itself holds only I and Q), and reading the file's samples back.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runtime/types.h"

namespace tarvio {

struct PacketRun {
  Markers markers;   // of one packet of the run; its size is the packet length
  size_t count = 0;  // consecutive packets with these markers
};

struct PacketLog {
  std::string file;  // the packet file written
  std::vector<PacketRun> runs;

  void clear();
  // Records `times` more packets with these markers, joining the last run
  // when the markers are equal.
  void add(const Markers& m, size_t times = 1);
  size_t packets() const;
  size_t samples() const;
  // The marker rows of all packets in order (2 x samples()).
  Markers all_markers() const;
};

// The log of the last calculation (program-wide, like `waveform`).
PacketLog& last_packet_log();

// The samples of every packet of the log, read back from its packet file:
// per packet its I values then its Q values, each an 8-byte little-endian
// IEEE double stored bit-complemented. Throws std::runtime_error when the
// file is missing or shorter than the log says.
CVec read_packet_file(const PacketLog& log);

// The same samples handed on in blocks (at most 65536 values each) instead
// of held: put(values, count) receives the I values (part 0) or the Q values
// (part 1) of every packet in order. Throws as read_packet_file does.
using ValuesPut = std::function<void(const double* values, size_t count)>;
void walk_packet_values(const PacketLog& log, int part, const ValuesPut& put);

// The marker rows of all packets column by column (row 1 and row 2 of the
// first sample, then of the second, ...), as 0/1 values in blocks.
void walk_packet_markers(const PacketLog& log, const ValuesPut& put);

}  // namespace tarvio
