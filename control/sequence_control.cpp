// Sequence/fragment numbering in the MAC header bit row and the payload
// length limit that follows from the header and FCS.
#include "control/sequence_control.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace tarvio {

namespace {

size_t field_bytes(const MacField& f) { return static_cast<size_t>(f.Active * f.Size); }

// Adds 1 to the unsigned number held least significant bit first in
// bits[bgn..end]; a result above `max` becomes 1.
void step_counter(std::vector<double>& bits, size_t bgn, size_t end, unsigned max, const char* what) {
  if (end < bgn || end >= bits.size())
    throw std::out_of_range(std::string(what) + " bits " + std::to_string(bgn + 1) + ".." + std::to_string(end + 1) +
                            " lie beyond the MAC header bit row of " + std::to_string(bits.size()) + " bits");
  unsigned value = 0;
  for (size_t i = end + 1; i-- > bgn;) value = (value << 1) | (bits[i] != 0 ? 1u : 0u);
  value += 1;
  if (value > max) value = 1;
  for (size_t i = bgn; i <= end; ++i, value >>= 1) bits[i] = value & 1u;
}

}  // namespace

SeqCtrlOffsets calcSeqCtnrlOffsets(const MacHeader& h) {
  SeqCtrlOffsets o;
  o.osFragBgn = 8 * (field_bytes(h.FrameCntrl) + field_bytes(h.DurationID) + field_bytes(h.Address1) +
                     field_bytes(h.Address2) + field_bytes(h.Address3));
  o.osFragEnd = o.osFragBgn + 3;
  o.osSeqBgn = o.osFragEnd + 1;
  o.osSeqEnd = o.osSeqBgn + 11;
  return o;
}

void incrementSequenceControl(MacHeader& header, size_t osSeqBgn, size_t osSeqEnd) {
  step_counter(header.BitStream, osSeqBgn, osSeqEnd, 4095, "sequence number");
}

void incrementFragNum(MacHeader& header, size_t osFragBgn, size_t osFragEnd) {
  step_counter(header.BitStream, osFragBgn, osFragEnd, 15, "fragment number");
}

void setMaxDataLen(Parameters& p) {
  if (p.format == 1)
    p.maxDataLen = 4095 - (p.MACheader.Length * p.MACheader.Active + p.MACfcs.Length * p.MACfcs.Active);
  else
    p.maxDataLen = 2312;
  // The data-length entry's rule applied to the stored length.
  double len = round_half_away(p.dataLength);
  len = std::min(len, p.maxDataLen);
  const double lowest = (p.dataSourceType == 5 || p.dataSourceType == 6) ? 1 : 0;
  p.dataLength = std::max(len, lowest);
}

}  // namespace tarvio
