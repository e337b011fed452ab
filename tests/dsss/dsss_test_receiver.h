// A small IEEE 802.11b receiver for tests: Barker despreading with
// differential BPSK/QPSK detection, CCK decoding by correlation against the
// codeword set of IEEE 802.11b 18.4.6.5, the self-synchronising descrambler,
// and PLCP header parsing with its CRC-16. It works on unfiltered bursts at one
// sample per chip and is written from the standard, independently of the
// generator.
#pragma once

#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <vector>

namespace dsss_rx {

using cplx = std::complex<double>;
using Bits = std::vector<uint8_t>;
constexpr double kPi = std::numbers::pi;

inline const std::array<double, 11>& barker() {
  static const std::array<double, 11> b = {1, -1, 1, 1, -1, 1, 1, 1, -1, -1, -1};
  return b;
}

// Correlates 11 chips with the Barker sequence.
inline cplx despread(const cplx* chips) {
  cplx acc = 0;
  for (size_t k = 0; k < 11; ++k) acc += chips[k] * barker()[k];
  return acc / 11.0;
}

// Phase step quantised to a multiple of pi/2: 0, 1, 2, 3.
inline int quadrant(double angle) {
  int q = static_cast<int>(std::lround(angle / (kPi / 2)));
  return ((q % 4) + 4) % 4;
}

// The self-synchronising descrambler for G(z) = z^-7 + z^-4 + 1: each output
// bit is the received bit XOR the received bits 4 and 7 places earlier.
class Descrambler {
 public:
  explicit Descrambler(const Bits& seed) {  // seed[0] = most recent bit
    for (size_t i = 0; i < 7; ++i) past_[i] = seed.at(i);
  }
  uint8_t step(uint8_t in) {
    const uint8_t out = in ^ past_[3] ^ past_[6];
    for (size_t i = 6; i > 0; --i) past_[i] = past_[i - 1];
    past_[0] = in;
    return out;
  }

 private:
  std::array<uint8_t, 7> past_{};
};

// Bit-serial CRC-16-CCITT (0x1021, preset 0xFFFF) of the PLCP header,
// complemented and sent most significant bit first.
inline Bits header_crc(const Bits& bits) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bits) {
    const bool feedback = ((crc >> 15) & 1u) != b;
    crc = static_cast<uint16_t>(crc << 1);
    if (feedback) crc ^= 0x1021;
  }
  crc = static_cast<uint16_t>(~crc);
  Bits out(16);
  for (size_t i = 0; i < 16; ++i) out[i] = (crc >> (15 - i)) & 1u;
  return out;
}

inline unsigned lsb_value(const Bits& b, size_t from, size_t n) {
  unsigned v = 0;
  for (size_t i = 0; i < n; ++i) v |= static_cast<unsigned>(b[from + i]) << i;
  return v;
}

// CCK codeword of IEEE 802.11b 18.4.6.5 (chips c0..c7, c0 first in time):
// phases phi1 + {phi2+phi3+phi4, phi3+phi4, phi2+phi4, phi4, phi2+phi3,
// phi3, phi2, 0}, with chips c3 and c6 negated.
inline std::array<cplx, 8> cck_code(double p1, double p2, double p3, double p4) {
  const double sum[8] = {p2 + p3 + p4, p3 + p4, p2 + p4, p4, p2 + p3, p3, p2, 0};
  std::array<cplx, 8> c;
  for (size_t k = 0; k < 8; ++k) c[k] = std::polar((k == 3 || k == 6) ? -1.0 : 1.0, p1 + sum[k]);
  return c;
}

// Dibit to phase for phi2..phi4 (IEEE 802.11b Table 106): 00 0, 01 pi/2,
// 10 pi, 11 3pi/2.
inline double dibit_phase(unsigned a, unsigned b) {
  static const double phase[4] = {0, kPi / 2, kPi, 3 * kPi / 2};  // index = a*2 + b
  return phase[a * 2 + b];
}

// DQPSK phase step to dibit (d0, d1) (IEEE 802.11b Table 103 / 107 even
// symbols): 0 -> 00, pi/2 -> 01, pi -> 11, 3pi/2 -> 10.
inline void step_to_dibit(int q, Bits& out) {
  static const uint8_t d0[4] = {0, 0, 1, 1}, d1[4] = {0, 1, 1, 0};
  out.push_back(d0[q]);
  out.push_back(d1[q]);
}

struct Codebook {
  std::vector<std::array<cplx, 8>> words;  // phi1 = 0
  std::vector<Bits> bits;                  // d2.. of each word
};

inline Codebook cck_codebook(bool highRate) {
  Codebook cb;
  if (highRate) {
    for (unsigned v = 0; v < 64; ++v) {
      const unsigned d2 = (v >> 5) & 1, d3 = (v >> 4) & 1, d4 = (v >> 3) & 1, d5 = (v >> 2) & 1, d6 = (v >> 1) & 1,
                     d7 = v & 1;
      cb.words.push_back(cck_code(0, dibit_phase(d2, d3), dibit_phase(d4, d5), dibit_phase(d6, d7)));
      cb.bits.push_back({uint8_t(d2), uint8_t(d3), uint8_t(d4), uint8_t(d5), uint8_t(d6), uint8_t(d7)});
    }
  } else {
    // 5.5 Mbit/s (18.4.6.5.3): phi2 = d2*pi + pi/2, phi3 = 0, phi4 = d3*pi.
    for (unsigned v = 0; v < 4; ++v) {
      const unsigned d2 = (v >> 1) & 1, d3 = v & 1;
      cb.words.push_back(cck_code(0, d2 * kPi + kPi / 2, 0, d3 * kPi));
      cb.bits.push_back({uint8_t(d2), uint8_t(d3)});
    }
  }
  return cb;
}

struct Received {
  bool sfdFound = false;
  bool headerCrcOk = false;
  unsigned signal = 0, service = 0, length = 0;
  Bits psdu;  // descrambled PSDU bits
};

// Demodulates a burst (one sample per chip, starting at its first chip).
// `seed` is the scrambler seed (7 bits, first delay element first) or empty
// for an unscrambled burst; `shortPreamble` selects the 72-bit preamble with
// a 2 Mbit/s header.
inline Received receive(const std::vector<cplx>& chips, bool shortPreamble, const Bits& seed) {
  Received rx;
  std::optional<Descrambler> descr;
  if (!seed.empty()) descr.emplace(seed);
  auto descramble = [&](uint8_t b) { return descr ? descr->step(b) : b; };
  const cplx start = std::polar(1.0, kPi / 4);  // the burst's first phase reference
  size_t pos = 0;
  cplx ref = start;
  auto need = [&](size_t n) {
    if (pos + n > chips.size()) throw std::runtime_error("burst ended early");
  };
  Bits bits;
  // Preamble: DBPSK.
  const size_t preBits = shortPreamble ? 72 : 144;
  for (size_t i = 0; i < preBits; ++i) {
    need(11);
    const cplx s = despread(&chips[pos]);
    pos += 11;
    bits.push_back(descramble(std::real(s * std::conj(ref)) < 0 ? 1 : 0));
    ref = s;
  }
  Bits sfd(bits.end() - 16, bits.end());
  const Bits longSfd = {0, 0, 0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 1, 1, 1, 1};
  Bits expectSfd = longSfd;
  if (shortPreamble) expectSfd.assign(longSfd.rbegin(), longSfd.rend());
  rx.sfdFound = sfd == expectSfd;
  // Header: DBPSK after a long preamble, DQPSK after a short one.
  Bits hdr;
  if (!shortPreamble) {
    for (size_t i = 0; i < 48; ++i) {
      need(11);
      const cplx s = despread(&chips[pos]);
      pos += 11;
      hdr.push_back(descramble(std::real(s * std::conj(ref)) < 0 ? 1 : 0));
      ref = s;
    }
  } else {
    for (size_t i = 0; i < 24; ++i) {
      need(11);
      const cplx s = despread(&chips[pos]);
      pos += 11;
      Bits pair;
      step_to_dibit(quadrant(std::arg(s * std::conj(ref))), pair);
      hdr.push_back(descramble(pair[0]));
      hdr.push_back(descramble(pair[1]));
      ref = s;
    }
  }
  rx.headerCrcOk = header_crc(Bits(hdr.begin(), hdr.begin() + 32)) == Bits(hdr.begin() + 32, hdr.end());
  rx.signal = lsb_value(hdr, 0, 8);
  rx.service = lsb_value(hdr, 8, 8);
  rx.length = lsb_value(hdr, 16, 16);
  // PSDU octets from LENGTH (IEEE 802.11b 18.2.3.5).
  size_t octets = 0;
  switch (rx.signal) {
    case 0x0A:
      octets = rx.length / 8;
      break;
    case 0x14:
      octets = rx.length * 2 / 8;
      break;
    case 0x37:
      octets = rx.length * 11 / 16;
      break;
    case 0x6E:
      octets = rx.length * 11 / 8 - ((rx.service >> 7) & 1u);
      break;
    default:
      return rx;
  }
  const size_t nbits = octets * 8;
  Bits raw;
  if (rx.signal == 0x0A || rx.signal == 0x14) {
    const bool dq = rx.signal == 0x14;
    while (raw.size() < nbits) {
      need(11);
      const cplx s = despread(&chips[pos]);
      pos += 11;
      if (dq) {
        step_to_dibit(quadrant(std::arg(s * std::conj(ref))), raw);
      } else {
        raw.push_back(std::real(s * std::conj(ref)) < 0 ? 1 : 0);
      }
      ref = s;
    }
  } else {
    const bool high = rx.signal == 0x6E;
    const Codebook cb = cck_codebook(high);
    double prevPhi1 = std::arg(ref);
    for (size_t sym = 0; raw.size() < nbits; ++sym) {
      need(8);
      size_t best = 0;
      cplx bestCorr = 0;
      for (size_t w = 0; w < cb.words.size(); ++w) {
        cplx c = 0;
        for (size_t k = 0; k < 8; ++k) c += chips[pos + k] * std::conj(cb.words[w][k]);
        if (std::abs(c) > std::abs(bestCorr)) {
          bestCorr = c;
          best = w;
        }
      }
      pos += 8;
      const double phi1 = std::arg(bestCorr);
      // Odd-numbered symbols carry an extra pi rotation (18.4.6.5.2).
      const double step = phi1 - prevPhi1 - (sym % 2 == 1 ? kPi : 0.0);
      step_to_dibit(quadrant(step), raw);
      raw.insert(raw.end(), cb.bits[best].begin(), cb.bits[best].end());
      prevPhi1 = phi1;
    }
  }
  raw.resize(nbits);
  for (uint8_t b : raw) rx.psdu.push_back(descramble(b));
  return rx;
}

}  // namespace dsss_rx
