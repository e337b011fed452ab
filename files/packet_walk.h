// Streaming access to the packet temporary file of the last calculation:
// where it is and how many packets of which size it holds, and a walk over
// its samples in bounded blocks, so that outputs written from it never hold
// the whole waveform in memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/packet_file.h"
#include "runtime/report.h"

namespace tarvio {

struct PacketSource {
  std::string path;
  size_t pkt_size = 0;
  size_t num_pkts = 0;
  size_t total() const { return pkt_size * num_pkts; }
};

// The packet file as the last calculation left it (packet_file_contents(),
// records/state.h). Throws std::runtime_error when there is no
// calculated waveform or the file holds fewer packets than the count.
PacketSource current_packets();

// Checks that the file holds at least src.num_pkts packets; throws
// std::runtime_error saying how many it holds otherwise.
void check_packets(const PacketSource& src);

// Calls f(i, q, markers, n, first_sample) for consecutive blocks of at most
// `block` samples, packet after packet; first_sample counts from the start
// of the waveform. markers holds one byte per sample (bit r-1 = row r). The
// status line follows the walk ("Writing samples K of N") and is cleared at
// its end.
template <class F>
void walk_packets(const PacketSource& src, F&& f, size_t block = 65536) {
  packet_file::Reader reader(src.path, src.pkt_size);
  const size_t b = std::min(block, src.pkt_size);
  std::vector<double> i(b), q(b);
  std::vector<uint8_t> m(b);
  for (size_t p = 0; p < src.num_pkts; ++p) {
    for (size_t first = 0; first < src.pkt_size; first += b) {
      const size_t n = std::min(b, src.pkt_size - first);
      reader.read(p, first, n, i.data(), q.data(), m.data());
      f(static_cast<const double*>(i.data()), static_cast<const double*>(q.data()),
        static_cast<const uint8_t*>(m.data()), n, p * src.pkt_size + first);
      reporter().status("Writing samples " + std::to_string(p * src.pkt_size + first + n) + " of " +
                        std::to_string(src.total()));
    }
  }
  reporter().status("");
}

}  // namespace tarvio
