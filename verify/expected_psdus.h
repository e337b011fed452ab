// The PSDUs a calculation of a parameter set produces, packet by packet, as
// the calculation builds them (MAC header with its sequence or fragment
// number stepping, payload, FCS): what the verification compares each
// decoded packet with.
#pragma once

#include <cstddef>
#include <vector>

#include "records/records.h"
#include "runtime/types.h"

namespace tarvio::verify {

// The FCS is the IEEE 802.3 CRC-32, from the payload's CRC (taken once)
// joined to each header's.
class ExpectedPsdus {
 public:
  ExpectedPsdus(const Parameters& p, size_t packets);
  bool has_fcs() const { return fcs_; }
  // The PSDU of packet i (from 0); false past the last packet.
  bool fill(size_t i, Bits& out) const;

 private:
  bool framed_ = true, fcs_ = true;
  Bits data_;
  std::vector<Bits> headers_;
  unsigned long dataCrc_ = 0;
};

}  // namespace tarvio::verify
