// Viterbi decoders: the add-compare-select loop for the 64-state rate-1/2
// codes written so that the compiler vectorises it, and a table-driven loop
// for the other trellises.
#include "verify/viterbi.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <stdexcept>

namespace tarvio::verify {

namespace {
unsigned parity(unsigned v) { return static_cast<unsigned>(std::popcount(v) & 1); }
}  // namespace

// State s holds the six previous input bits, the newest in bit 0; input u
// makes the register (s << 1) | u and the next state ((s << 1) | u) & 63.
ViterbiK7::ViterbiK7(unsigned g0, unsigned g1) : g0_(g0), g1_(g1) {
  if (g0 >= 128 || g1 >= 128) throw std::invalid_argument("ViterbiK7: generators are 7-bit masks");
  for (unsigned s = 0; s < 64; ++s)
    for (unsigned u = 0; u < 2; ++u) {
      const unsigned r = (s << 1) | u;
      sign0_[s][u] = parity(r & g0) ? 1.0f : -1.0f;
      sign1_[s][u] = parity(r & g1) ? 1.0f : -1.0f;
    }
}

void ViterbiK7::encode(const Bits& in, Bits& out) const {
  out.resize(2 * in.size());
  unsigned r = 0;
  for (size_t i = 0; i < in.size(); ++i) {
    r = ((r << 1) | (in[i] & 1u)) & 127u;
    out[2 * i] = static_cast<uint8_t>(parity(r & g0_));
    out[2 * i + 1] = static_cast<uint8_t>(parity(r & g1_));
  }
}

double ViterbiK7::decode(const float* soft, size_t steps, bool terminated, Bits& out) {
  out.resize(steps);
  if (steps == 0) return 0;
  if (decisions_.size() < steps * 64) decisions_.resize(steps * 64);
  // Branch signs laid out per input so that the inner loops run over states.
  alignas(32) float a0[64], b0[64], a1[64], b1[64];
  for (unsigned s = 0; s < 64; ++s) {
    a0[s] = sign0_[s][0];
    b0[s] = sign1_[s][0];
    a1[s] = sign0_[s][1];
    b1[s] = sign1_[s][1];
  }
  alignas(32) float m[64], bm0[64], bm1[64], n0[32], n1[32];
  const float inf = 1e30f;
  m[0] = 0;
  for (unsigned s = 1; s < 64; ++s) m[s] = inf;
  for (size_t k = 0; k < steps; ++k) {
    const float x = soft[2 * k], y = soft[2 * k + 1];
    // Lower is better: the negated correlation of the branch's coded bits
    // with the soft values.
    for (unsigned s = 0; s < 64; ++s) {
      bm0[s] = m[s] - (a0[s] * x + b0[s] * y);
      bm1[s] = m[s] - (a1[s] * x + b1[s] * y);
    }
    uint8_t* d = &decisions_[k * 64];
    alignas(32) uint8_t d0[32], d1[32];
    for (unsigned j = 0; j < 32; ++j) {
      const float p = bm0[j], q = bm0[j + 32];
      d0[j] = q < p;
      n0[j] = q < p ? q : p;
      const float r = bm1[j], t = bm1[j + 32];
      d1[j] = t < r;
      n1[j] = t < r ? t : r;
    }
    const float base = n0[0];
    for (unsigned j = 0; j < 32; ++j) {
      m[2 * j] = n0[j] - base;
      m[2 * j + 1] = n1[j] - base;
      d[2 * j] = d0[j];
      d[2 * j + 1] = d1[j];
    }
  }
  unsigned s = 0;
  if (!terminated) {
    for (unsigned i = 1; i < 64; ++i)
      if (m[i] < m[s]) s = i;
  }
  const double best = m[s];
  for (size_t k = steps; k-- > 0;) {
    out[k] = static_cast<uint8_t>(s & 1u);
    s = (s >> 1) | (static_cast<unsigned>(decisions_[k * 64 + s]) << 5);
  }
  return best;
}

TrellisViterbi::TrellisViterbi(Trellis t) : t_(std::move(t)) {
  const size_t n = t_.states * t_.inputs;
  if (t_.next.size() != n || t_.label.size() != n) throw std::invalid_argument("TrellisViterbi: table sizes");
  std::vector<std::vector<uint32_t>> entering(t_.states);
  for (size_t b = 0; b < n; ++b) {
    if (t_.next[b] >= t_.states || t_.label[b] >= t_.labels) throw std::invalid_argument("TrellisViterbi: table entry");
    entering[t_.next[b]].push_back(static_cast<uint32_t>(b));
  }
  for (const auto& e : entering) {
    prevStart_.push_back(static_cast<uint32_t>(prev_.size()));
    prev_.insert(prev_.end(), e.begin(), e.end());
  }
  prevStart_.push_back(static_cast<uint32_t>(prev_.size()));
  m0_.resize(t_.states);
  m1_.resize(t_.states);
}

double TrellisViterbi::decode(const float* metrics, size_t steps, bool terminated, std::vector<uint32_t>& out) {
  out.resize(steps);
  if (steps == 0) return 0;
  const size_t S = t_.states;
  if (decisions_.size() < steps * S) decisions_.resize(steps * S);
  const float inf = std::numeric_limits<float>::max() / 4;
  std::fill(m0_.begin(), m0_.end(), inf);
  m0_[0] = 0;
  for (size_t k = 0; k < steps; ++k) {
    const float* lm = metrics + k * t_.labels;
    uint16_t* d = &decisions_[k * S];
    float low = inf;
    for (size_t ns = 0; ns < S; ++ns) {
      float best = inf;
      uint16_t bi = 0;
      for (uint32_t i = prevStart_[ns]; i < prevStart_[ns + 1]; ++i) {
        const uint32_t b = prev_[i];
        const float c = m0_[b / t_.inputs] + lm[t_.label[b]];
        if (c < best) {
          best = c;
          bi = static_cast<uint16_t>(i - prevStart_[ns]);
        }
      }
      m1_[ns] = best;
      d[ns] = bi;
      low = std::min(low, best);
    }
    for (size_t ns = 0; ns < S; ++ns) m0_[ns] = m1_[ns] >= inf ? inf : m1_[ns] - low;
  }
  size_t s = 0;
  if (!terminated) {
    for (size_t i = 1; i < S; ++i)
      if (m0_[i] < m0_[s]) s = i;
  }
  const double best = m0_[s];
  for (size_t k = steps; k-- > 0;) {
    const uint32_t b = prev_[prevStart_[s] + decisions_[k * S + s]];
    out[k] = b % static_cast<uint32_t>(t_.inputs);
    s = b / t_.inputs;
  }
  return best;
}

}  // namespace tarvio::verify
