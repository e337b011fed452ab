// PBCC payload decoding (IEEE 802.11b 18.4.6.6 at 5.5 and 11 Mbit/s, and
// the ERP-PBCC 22 and 33 Mbit/s code of 802.11g): removal of the 256-bit
// cover sequence, soft demapping of BPSK or QPSK for the rate-1/2, 64-state
// code, and 8PSK branch metrics for the rate-2/3, 256-state code, Viterbi
// decoding, or hard decisions for a payload sent without the encoder.
//
// The conventions that are easy to get wrong on either side of the link
// (the turning direction of the cover rotation, and how the 8PSK points
// follow the phase reference) are tried in turn, IEEE 802.11 reading
// first; the caller's check (descrambling and the FCS) picks the one that
// decodes, and the result says which one that was.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runtime/types.h"
#include "verify/viterbi.h"

namespace tarvio::verify {

// The cover bits c_0, c_1, ...: 0011001110001011, each further 16 bits the
// previous ones turned left by 3 (period 256).
Bits pbcc_cover_bits(size_t n);

struct PbccConvention {
  bool coverClockwise = false;  // cover bit 1 turns the point by -90 degrees instead of +90
  // 8PSK: the points follow the reference chip r as s * (1+j)/sqrt2 / r
  // instead of s * r / ((1+j)/sqrt2).
  bool dividedReference = false;
  bool uncoded = false;  // the payload bits were mapped without the encoder
};

std::string describe(const PbccConvention& c);

struct PbccDecoded {
  bool ok = false;  // the check accepted the bits
  PbccConvention convention;
  Bits raw;  // bits before descrambling
};

class PbccDecoder {
 public:
  PbccDecoder();
  // Symbols needed for `octets` PSDU octets at `rate` (5.5, 11, 22, 33).
  static size_t symbols_needed(double rate, size_t octets, bool uncoded);
  // y: received symbols at the symbol instants; ref: the phase reference
  // (the last chip before the payload), unit magnitude; amplitude: the mean
  // magnitude of a received chip. `accept` descrambles the raw bits and
  // checks them; the first convention it accepts is returned, else the
  // first one tried.
  PbccDecoded decode(const CVec& y, cplx ref, double amplitude, double rate, size_t octets,
                     const std::function<bool(const Bits&)>& accept);

 private:
  Bits decode_one(const CVec& y, cplx ref, double amplitude, double rate, size_t octets, const PbccConvention& c);
  ViterbiK7 k7_;
  TrellisViterbi erp_;
  std::vector<float> soft_;
  std::vector<uint32_t> pairs_;
  Bits bits_;
};

}  // namespace tarvio::verify
