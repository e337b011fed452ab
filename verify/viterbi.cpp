// Viterbi decoders: the add-compare-select loop for the 64-state rate-1/2
// codes written so that the compiler vectorises it, and a table-driven loop
// for the other trellises.
#include "verify/viterbi.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvio::verify {

namespace {
unsigned parity(unsigned v) { return static_cast<unsigned>(std::popcount(v) & 1); }
}  // namespace

// State s holds the six previous input bits, the newest in bit 0; input u
// makes the register (s << 1) | u and the next state ((s << 1) | u) & 63.
ViterbiK7::ViterbiK7(unsigned g0, unsigned g1) : g0_(g0), g1_(g1) {
  // The butterfly decoder needs the newest (D^0) and oldest (D^6) bit in
  // both generators, as the 802.11 OFDM and PBCC codes have.
  if (g0 >= 128 || g1 >= 128 || (g0 & g1 & 0x41u) != 0x41u)
    throw std::invalid_argument("ViterbiK7: generators are 7-bit masks with the D^0 and D^6 taps");
  for (unsigned s = 0; s < 64; ++s)
    for (unsigned u = 0; u < 2; ++u) {
      const unsigned r = (s << 1) | u;
      sign0_[s][u] = parity(r & g0) ? 1.0f : -1.0f;
      sign1_[s][u] = parity(r & g1) ? 1.0f : -1.0f;
    }
  for (unsigned s = 0; s < 64; ++s) {
    code0_[s] = static_cast<uint8_t>(parity((s << 1) & g0));
    code1_[s] = static_cast<uint8_t>(parity((s << 1) & g1));
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

// A received sequence whose hard decisions already form a code sequence is
// its own maximum-likelihood decoding: every soft value then agrees in sign
// with its code bit, and any other path disagrees with at least one value
// that is not zero. Both generators tap the newest bit, so the input of a
// step follows from the state and either received bit of the step; the
// other bit, when it was sent, checks it. Clean waveforms, the common case
// in a verification, thus skip the trellis search; any disagreement, a step
// with no information or, when terminated, a path that does not end in
// state 0 leaves the decoding to the trellis.
bool ViterbiK7::decode_error_free(const float* soft, size_t steps, bool terminated, Bits& out) const {
  uint8_t* bits = out.data();  // (through the vector, every byte stored would reload its start)
  unsigned s = 0;
  for (size_t k = 0; k < steps; ++k) {
    const float x = soft[2 * k], y = soft[2 * k + 1];
    // Input 1 inverts both code bits of input 0; zero (or NaN) is punctured.
    unsigned u;
    if (x > 0 || x < 0) {
      u = (x > 0) ^ code0_[s];
      if ((y > 0 || y < 0) && ((y > 0) ^ code1_[s]) != u) return false;
    } else if (y > 0 || y < 0) {
      u = (y > 0) ^ code1_[s];
    } else {
      return false;
    }
    bits[k] = static_cast<uint8_t>(u);
    s = ((s << 1) | u) & 63u;
  }
  return !terminated || s == 0;
}

// Butterfly form: the two branches leaving state j with input u and the
// two entering state 2j+u from j and j+32 share one branch metric up to
// sign, because both generators tap the newest and the oldest bit. Four
// butterflies run at a time (SSE2 on x86-64, plain code elsewhere);
// decisions are kept as one 64-bit word per step.
bool ViterbiK7::decode(const float* soft, size_t steps, bool terminated, Bits& out) {
  out.resize(steps);
  if (steps == 0) return true;
  if (decode_error_free(soft, steps, terminated, out)) return true;
  if (decisions_.size() < steps) decisions_.resize(steps);
  alignas(16) float a[32], b[32], m[64], nm[64];
  for (unsigned j = 0; j < 32; ++j) {
    a[j] = sign0_[j][0];
    b[j] = sign1_[j][0];
  }
  m[0] = 0;
  for (unsigned s = 1; s < 64; ++s) m[s] = 1e30f;
  static const uint8_t spread[16] = {0x00, 0x01, 0x04, 0x05, 0x10, 0x11, 0x14, 0x15,
                                     0x40, 0x41, 0x44, 0x45, 0x50, 0x51, 0x54, 0x55};
  for (size_t k = 0; k < steps; ++k) {
    const float x = soft[2 * k], y = soft[2 * k + 1];
    uint64_t word = 0;
#if defined(__SSE2__)
    const __m128 vx = _mm_set1_ps(x), vy = _mm_set1_ps(y);
    for (unsigned j = 0; j < 32; j += 4) {
      const __m128 mj = _mm_load_ps(m + j), mk = _mm_load_ps(m + j + 32);
      const __m128 bm = _mm_add_ps(_mm_mul_ps(_mm_load_ps(a + j), vx), _mm_mul_ps(_mm_load_ps(b + j), vy));
      const __m128 p0 = _mm_sub_ps(mj, bm), q0 = _mm_add_ps(mk, bm);
      const __m128 p1 = _mm_add_ps(mj, bm), q1 = _mm_sub_ps(mk, bm);
      const unsigned d0 = static_cast<unsigned>(_mm_movemask_ps(_mm_cmplt_ps(q0, p0)));
      const unsigned d1 = static_cast<unsigned>(_mm_movemask_ps(_mm_cmplt_ps(q1, p1)));
      const __m128 n0 = _mm_min_ps(p0, q0), n1 = _mm_min_ps(p1, q1);
      _mm_store_ps(nm + 2 * j, _mm_unpacklo_ps(n0, n1));
      _mm_store_ps(nm + 2 * j + 4, _mm_unpackhi_ps(n0, n1));
      word |= static_cast<uint64_t>(spread[d0] | spread[d1] << 1) << (2 * j);
    }
#else
    for (unsigned j = 0; j < 32; ++j) {
      const float bm = a[j] * x + b[j] * y;
      const float p0 = m[j] - bm, q0 = m[j + 32] + bm, p1 = m[j] + bm, q1 = m[j + 32] - bm;
      nm[2 * j] = q0 < p0 ? q0 : p0;
      nm[2 * j + 1] = q1 < p1 ? q1 : p1;
      word |= static_cast<uint64_t>(q0 < p0) << (2 * j) | static_cast<uint64_t>(q1 < p1) << (2 * j + 1);
    }
#endif
    const float base = nm[0];
    for (unsigned s = 0; s < 64; ++s) m[s] = nm[s] - base;
    decisions_[k] = word;
  }
  unsigned s = 0;
  if (!terminated) {
    for (unsigned i = 1; i < 64; ++i)
      if (m[i] < m[s]) s = i;
  }
  for (size_t k = steps; k-- > 0;) {
    out[k] = static_cast<uint8_t>(s & 1u);
    s = (s >> 1) | (static_cast<unsigned>((decisions_[k] >> s) & 1u) << 5);
  }
  return false;
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
