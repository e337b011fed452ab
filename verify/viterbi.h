// Viterbi decoding of the convolutional codes the receivers meet: a fast
// soft-decision decoder for the rate-1/2 codes of constraint length 7 (IEEE
// 802.11 OFDM 133/171, and the 802.11b PBCC code), and a table-driven
// decoder for any small trellis with several input bits per step (the
// rate-2/3, 256-state ERP-PBCC code), fed with per-label branch metrics.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/types.h"

namespace tarvio::verify {

// Rate-1/2 code, constraint length 7. A generator is given as a 7-bit mask
// whose bit i is the coefficient of D^i (bit 0: the newest input bit), so
// 1 + D^2 + D^3 + D^5 + D^6 is 0x6D. Soft values: positive means a coded 1
// is likely, negative a coded 0, zero carries no information (a punctured
// bit). Buffers are kept between calls, so decoding packet after packet
// allocates nothing once the longest packet has been seen.
class ViterbiK7 {
 public:
  ViterbiK7(unsigned g0, unsigned g1);
  // Decodes `steps` input bits from soft[0 .. 2*steps) (first and second
  // coded bit of each step). The encoder starts in state 0; with
  // `terminated` the path must also end in state 0 (six zero tail bits).
  // The bits go to `out` (resized to `steps`). Returns true when the hard
  // decisions of the soft values already formed a code sequence, so that
  // no coded bit was in error and the trellis search was not needed.
  bool decode(const float* soft, size_t steps, bool terminated, Bits& out);

  // Encodes `in` with the same code (used to rebuild the sent coded bits).
  void encode(const Bits& in, Bits& out) const;

 private:
  bool decode_error_free(const float* soft, size_t steps, bool terminated, Bits& out) const;

  uint8_t code0_[64], code1_[64];  // the code bits of input 0 from each state
  float sign0_[64][2];             // +1/-1: first coded bit of state s, input u, as 2c-1
  float sign1_[64][2];
  unsigned g0_, g1_;
  std::vector<uint64_t> decisions_;  // one bit per state and step
};

// A trellis with `states` states and `inputs` input symbols per step;
// next[s * inputs + u] and label[s * inputs + u] give the following state
// and the output label of each branch. decode() takes per step one metric
// per label (lower is better) and returns the input symbol per step.
struct Trellis {
  size_t states = 0, inputs = 0, labels = 0;
  std::vector<uint32_t> next, label;
};

class TrellisViterbi {
 public:
  explicit TrellisViterbi(Trellis t);
  const Trellis& trellis() const { return t_; }
  // metrics[step * labels + label]; the path starts in state 0 and, with
  // `terminated`, ends there. Returns the best path metric.
  double decode(const float* metrics, size_t steps, bool terminated, std::vector<uint32_t>& out);

 private:
  Trellis t_;
  std::vector<uint32_t> prev_;  // per state, the branches that enter it: (state * inputs + u)
  std::vector<uint32_t> prevStart_;
  std::vector<uint16_t> decisions_;  // per step and state: index into the entering branches
  std::vector<float> m0_, m1_;
};

}  // namespace tarvio::verify
