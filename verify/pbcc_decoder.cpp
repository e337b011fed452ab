// PBCC decoding: cover removal, demapping, the two Viterbi decoders, and
// the trial of the conventions.
#include "verify/pbcc_decoder.h"

#include <array>
#include <bit>
#include <cmath>
#include <numbers>

namespace tarvio::verify {

namespace {

constexpr double kZ = 0.70710678118654752440;

// 8PSK points by label v = b1 + 2 b2 + 4 b3 (first coded bit of the triple
// least significant), cover bit 0.
const std::array<cplx, 8> kPsk8 = {cplx(kZ, kZ), cplx(-kZ, kZ), cplx(-kZ, -kZ), cplx(kZ, -kZ),
                                   cplx(0, 1),   cplx(-1, 0),   cplx(0, -1),    cplx(1, 0)};

unsigned parity(unsigned v) { return static_cast<unsigned>(std::popcount(v) & 1); }

// The ERP-PBCC rate-2/3 code: input pair (u0, u1) = (first, second bit);
// stream u0 through 1 + D^4, D, D + D^3 and stream u1 through D^3,
// 1 + D^2 + D^4, D + D^3, the two contributions to each of the three coded
// bits added modulo 2. State: four past u0 bits, then four past u1 bits.
Trellis erp_trellis() {
  const unsigned g0[3] = {0b10001, 0b00010, 0b01010};
  const unsigned g1[3] = {0b01000, 0b10101, 0b01010};
  Trellis t;
  t.states = 256;
  t.inputs = 4;
  t.labels = 8;
  for (unsigned s = 0; s < 256; ++s)
    for (unsigned u = 0; u < 4; ++u) {
      const unsigned r0 = ((s & 15u) << 1) | (u & 1u), r1 = ((s >> 4) << 1) | (u >> 1);
      unsigned label = 0;
      for (unsigned k = 0; k < 3; ++k) label |= (parity(r0 & g0[k]) ^ parity(r1 & g1[k])) << k;
      t.next.push_back((r0 & 15u) | ((r1 & 15u) << 4));
      t.label.push_back(label);
    }
  return t;
}

}  // namespace

Bits pbcc_cover_bits(size_t n) {
  static const uint8_t seed[16] = {0, 0, 1, 1, 0, 0, 1, 1, 1, 0, 0, 0, 1, 0, 1, 1};
  Bits c(n);
  for (size_t i = 0; i < n; ++i) {
    const size_t row = (i / 16) % 16, col = i % 16;
    c[i] = seed[(col + 3 * row) % 16];
  }
  return c;
}

std::string describe(const PbccConvention& c) {
  std::string s = c.uncoded ? "uncoded" : "coded";
  s += c.coverClockwise ? ", cover turning clockwise" : ", cover turning counter-clockwise";
  if (c.dividedReference) s += ", 8PSK reference divided";
  return s;
}

PbccDecoder::PbccDecoder() : k7_(0b1011011, 0b1111101), erp_(erp_trellis()) {}

size_t PbccDecoder::symbols_needed(double rate, size_t octets, bool uncoded) {
  const size_t bits = 8 * octets;
  if (rate == 5.5) return uncoded ? bits : 2 * (bits + 8);
  if (rate == 11) return uncoded ? bits / 2 : bits + 8;
  return uncoded ? (bits + 2) / 3 : (bits + 8) / 2;
}

Bits PbccDecoder::decode_one(const CVec& y, cplx ref, double amplitude, double rate, size_t octets,
                             const PbccConvention& c) {
  const size_t nsym = symbols_needed(rate, octets, c.uncoded);
  const Bits cover = pbcc_cover_bits(nsym);
  const cplx turn = c.coverClockwise ? cplx(0, -1) : cplx(0, 1);
  cplx refFactor = ref;
  if (rate > 11) refFactor = c.dividedReference ? cplx(kZ, kZ) / ref : ref / cplx(kZ, kZ);
  const cplx derot = std::conj(refFactor) / amplitude;
  const size_t bits = 8 * octets;
  bits_.clear();
  auto sym = [&](size_t m) { return y[m] * derot * (cover[m] ? std::conj(turn) : cplx(1)); };
  if (rate == 5.5 || rate == 11) {
    const cplx q = std::polar(1.0, -std::numbers::pi / 4);
    if (c.uncoded) {
      for (size_t m = 0; m < nsym; ++m) {
        const cplx w = sym(m);
        if (rate == 5.5) {
          bits_.push_back(w.real() < 0);
        } else {
          const cplx v = w * q;  // 00 -> 1, 01 -> -j, 10 -> j, 11 -> -1
          bits_.push_back(v.imag() > 0);
          bits_.push_back(v.real() < 0);
        }
      }
      bits_.resize(bits);
      return bits_;
    }
    const size_t steps = bits + 8;
    soft_.resize(2 * steps);
    for (size_t m = 0; m < nsym; ++m) {
      const cplx w = sym(m);
      if (rate == 5.5) {
        soft_[m] = static_cast<float>(-w.real());
      } else {
        const cplx v = w * q;
        soft_[2 * m] = static_cast<float>(v.imag());
        soft_[2 * m + 1] = static_cast<float>(-v.real());
      }
    }
    k7_.decode(soft_.data(), steps, true, bits_);
    bits_.resize(bits);
    return bits_;
  }
  // 8PSK.
  soft_.resize(8 * nsym);
  for (size_t m = 0; m < nsym; ++m) {
    const cplx w = sym(m);
    for (size_t v = 0; v < 8; ++v) soft_[8 * m + v] = static_cast<float>(-std::real(w * std::conj(kPsk8[v])));
  }
  if (c.uncoded) {
    for (size_t m = 0; m < nsym; ++m) {
      size_t best = 0;
      for (size_t v = 1; v < 8; ++v)
        if (soft_[8 * m + v] < soft_[8 * m + best]) best = v;
      for (size_t b = 0; b < 3; ++b) bits_.push_back(static_cast<uint8_t>((best >> b) & 1u));
    }
    bits_.resize(bits);
    return bits_;
  }
  erp_.decode(soft_.data(), nsym, true, pairs_);
  for (uint32_t u : pairs_) {
    bits_.push_back(static_cast<uint8_t>(u & 1u));
    bits_.push_back(static_cast<uint8_t>(u >> 1));
  }
  bits_.resize(bits);
  return bits_;
}

PbccDecoded PbccDecoder::decode(const CVec& y, cplx ref, double amplitude, double rate, size_t octets,
                                const std::function<bool(const Bits&)>& accept) {
  PbccDecoded first;
  bool haveFirst = false;
  for (int uncoded = 0; uncoded < 2; ++uncoded)
    for (int cw = 0; cw < 2; ++cw)
      for (int div = 0; div < (rate > 11 ? 2 : 1); ++div) {
        const PbccConvention c{cw == 1, div == 1, uncoded == 1};
        if (y.size() < symbols_needed(rate, octets, c.uncoded)) continue;
        PbccDecoded d;
        d.convention = c;
        d.raw = decode_one(y, ref, amplitude, rate, octets, c);
        d.ok = accept(d.raw);
        if (d.ok) return d;
        if (!haveFirst) {
          first = std::move(d);
          haveFirst = true;
        }
      }
  return first;
}

}  // namespace tarvio::verify
