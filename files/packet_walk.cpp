// Location and size checks of the packet temporary file.
#include "files/packet_walk.h"

#include <cmath>
#include <stdexcept>

#include "records/state.h"

namespace tarvio {

namespace {

size_t whole_count(double v, const char* what) {
  if (!(v >= 0) || v != std::floor(v))
    throw std::runtime_error(std::string("invalid ") + what + " " + std::to_string(v) +
                             ": a whole number >= 0 is needed");
  return size_t(v);
}

}  // namespace

PacketSource current_packets() {
  const CalculatedPackets calc = packet_file_contents();
  PacketSource src;
  src.path = calc.file;
  src.pkt_size = whole_count(calc.pktSize, "packet size (parameters.multiFrame.pktSize)");
  src.num_pkts = whole_count(calc.packets, "packet count (parameters.numberOfPackets)");
  if (src.path.empty() || src.pkt_size == 0 || src.num_pkts == 0)
    throw std::runtime_error("there is no calculated waveform: calculate one first");
  check_packets(src);
  return src;
}

void check_packets(const PacketSource& src) {
  packet_file::Reader reader(src.path, src.pkt_size);
  if (reader.packet_count() < src.num_pkts)
    throw std::runtime_error("the packet file '" + src.path + "' holds " + std::to_string(reader.packet_count()) +
                             " packets of " + std::to_string(src.pkt_size) + " samples, " +
                             std::to_string(src.num_pkts) + " are needed");
}

}  // namespace tarvio
