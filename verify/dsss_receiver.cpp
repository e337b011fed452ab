// DSSS receiver: timing, preamble and header, and the payload demodulators
// of IEEE 802.11 15.4.6, 18.4.6.5 (CCK) and 18.4.6.6 (PBCC), with the ERP
// clock switch at 33 Mbit/s.
#include "verify/dsss_receiver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "verify/cfo_estimate.h"
#include "verify/chip_sampler.h"
#include "verify/clock_estimate.h"
#include "verify/iq_estimate.h"
#include "verify/psdu_check.h"
#include "verify/snr_estimate.h"

namespace tarvio::verify {

namespace {

constexpr double kBarker[11] = {1, -1, 1, 1, -1, 1, 1, 1, -1, -1, -1};
constexpr uint8_t kLongSfd[16] = {0, 0, 0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 1, 1, 1, 1};  // F3A0h, first bit first

// Self-synchronising descrambler for G(z) = z^-7 + z^-4 + 1: each bit is
// the received bit XOR the received bits 4 and 7 places earlier.
struct Descrambler {
  unsigned past = 0;  // bit i: the received bit i+1 places back
  uint8_t step(uint8_t in) {
    const uint8_t out = static_cast<uint8_t>(in ^ ((past >> 3) & 1u) ^ ((past >> 6) & 1u));
    past = ((past << 1) | in) & 0x7Fu;
    return out;
  }
};

// PLCP header CRC-16 (CCITT, preset all ones, complemented, sent from the
// x^15 coefficient down): true when the last 16 of the 48 bits match.
bool header_crc_ok(const Bits& h) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < 32; ++i) {
    const bool fb = ((crc >> 15) & 1u) != h[i];
    crc = static_cast<uint16_t>(crc << 1);
    if (fb) crc ^= 0x1021;
  }
  crc = static_cast<uint16_t>(~crc);
  for (size_t i = 0; i < 16; ++i)
    if (h[32 + i] != ((crc >> (15 - i)) & 1u)) return false;
  return true;
}

unsigned lsb_value(const Bits& b, size_t from, size_t n) {
  unsigned v = 0;
  for (size_t i = 0; i < n; ++i) v |= static_cast<unsigned>(b[from + i]) << i;
  return v;
}

// Phase step in quarter turns 0..3: the nearest of 1, j, -1, -j. Exactly
// between two of them it takes the one further from 0 radians, as rounding
// the angle over pi/2 half away from zero does.
int quarter(cplx step) {
  const double a = std::abs(step.real()), b = std::abs(step.imag());
  if (a > b || (a == b && step.real() < 0)) return step.real() < 0 ? 2 : 0;
  return step.imag() > 0 ? 1 : 3;
}

// The nearest point of the unit circle's 4-point (0, 90, 180, 270 degrees)
// or 8-point (multiples of 45 degrees) grid.
cplx grid_point(cplx v, int points) {
  const double a = std::abs(v.real()), b = std::abs(v.imag());
  const double re = v.real() < 0 ? -1 : 1, im = v.imag() < 0 ? -1 : 1;
  if (points == 8) {
    constexpr double kTan22 = 0.41421356237309503;  // tan(22.5 degrees), sqrt(2) - 1
    if (b <= a * kTan22) return {re, 0};
    if (a <= b * kTan22) return {0, im};
    constexpr double kHalfRoot2 = 0.70710678118654757;
    return {re * kHalfRoot2, im * kHalfRoot2};
  }
  return a >= b ? cplx(re, 0) : cplx(0, im);
}

// DQPSK phase step to (d0, d1): 00 0, 01 +pi/2, 11 pi, 10 -pi/2.
void quarter_bits(int q, Bits& out) {
  static const uint8_t d0[4] = {0, 0, 1, 1}, d1[4] = {0, 1, 1, 0};
  out.push_back(d0[q]);
  out.push_back(d1[q]);
}

// CCK codewords with phi1 = 0 (18.4.6.5): chip phases phi2+phi3+phi4,
// phi3+phi4, phi2+phi4, phi4 (negated), phi2+phi3, phi3, phi2 (negated), 0,
// each phase a multiple of pi/2. 11 Mbit/s: (d2 d3), (d4 d5), (d6 d7) give
// phi2, phi3, phi4 by QPSK (00 0, 01 pi/2, 10 pi, 11 3pi/2), word number
// d2..d7 read as a binary number; 5.5 Mbit/s: phi2 = d2 pi + pi/2, phi3 = 0,
// phi4 = d3 pi, word number 2 d2 + d3.
//
// The correlation of chips c0..c7 with the codeword of (phi2, phi3, phi4) is
//   e^(-j phi4) (c0 e^(-j(phi2+phi3)) + c1 e^(-j phi3) + c2 e^(-j phi2) - c3)
//     + c4 e^(-j(phi2+phi3)) + c5 e^(-j phi3) - c6 e^(-j phi2) + c7,
// so the 16 pairs (phi2, phi3) need two sums each, and turning by quarter
// turns is exact.

// z e^(-j q pi/2), exactly: the product with 0 and +-1 parts rounds nothing.
inline cplx turn(cplx z, unsigned q) {
  static constexpr double kRe[4] = {1, 0, -1, 0}, kIm[4] = {0, -1, 0, 1};
  const double c = kRe[q & 3u], d = kIm[q & 3u];
  return {z.real() * c - z.imag() * d, z.real() * d + z.imag() * c};
}

// The codeword (its number) that correlates best with the chips, first in
// word order on a tie, and the correlation.
void cck_best(const std::array<cplx, 8>& c, bool eleven, unsigned& best, cplx& bestC) {
  best = 0;
  bestC = 0;
  double bestE = 0;
  auto try_pair = [&](unsigned i2, unsigned i3, unsigned first, const unsigned* i4s, size_t n4) {
    const cplx a = turn(c[0], i2 + i3) + turn(c[1], i3) + turn(c[2], i2) - c[3];
    const cplx b = turn(c[4], i2 + i3) + turn(c[5], i3) - turn(c[6], i2) + c[7];
    for (size_t k = 0; k < n4; ++k) {
      const cplx acc = turn(a, i4s[k]) + b;
      const double e = std::norm(acc);
      if (e > bestE) {
        bestE = e;
        bestC = acc;
        best = first + static_cast<unsigned>(k);
      }
    }
  };
  if (eleven) {
    static constexpr unsigned kQuarters[4] = {0, 1, 2, 3};
    for (unsigned i2 = 0; i2 < 4; ++i2)
      for (unsigned i3 = 0; i3 < 4; ++i3) try_pair(i2, i3, i2 << 4 | i3 << 2, kQuarters, 4);
  } else {
    static constexpr unsigned kHalves[2] = {0, 2};
    for (unsigned d2 = 0; d2 < 2; ++d2) try_pair(1 + 2 * d2, 0, d2 << 1, kHalves, 2);
  }
}

// The bits d2.. of CCK word number w: 6 at 11 Mbit/s, 2 at 5.5.
void cck_bits(unsigned w, bool eleven, Bits& out) {
  const unsigned n = eleven ? 6 : 2;
  for (unsigned i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>((w >> (n - 1 - i)) & 1u));
}

double rate_of_signal(unsigned s) {
  switch (s) {
    case 0x0A:
      return 1;
    case 0x14:
      return 2;
    case 0x37:
      return 5.5;
    case 0x6E:
      return 11;
    case 0xDC:
      return 22;
    case 0x21:
      return 33;
    default:
      return 0;
  }
}

// Decision-directed second-order phase tracking of symbols on the 4- or
// 8-point grid turned by `ref`'s phase: y is turned in place by the phase the
// loop follows (what is left of a carrier offset after its estimate).
void track_phase(CVec& y, cplx ref, int points) {
  if (y.empty() || std::abs(ref) == 0) return;
  const cplx unit = std::conj(ref / std::abs(ref));
  constexpr double kAlpha = 0.05, kBeta = kAlpha * kAlpha / 4;
  double phase = 0, freq = 0;
  for (cplx& v : y) {
    v *= std::polar(1.0, -phase);
    const cplx rel = v * unit;
    const double e = std::abs(rel) > 0 ? std::arg(rel * std::conj(grid_point(rel, points))) : 0;
    freq += kBeta * e;
    phase += freq + kAlpha * e;
  }
}

}  // namespace

DsssReceiver::DsssReceiver(double samples_per_chip) : os_(samples_per_chip) {
  if (!(samples_per_chip >= 1)) throw std::invalid_argument("DsssReceiver: at least one sample per chip");
}

DsssPacket DsssReceiver::receive(const cplx* x, size_t n, size_t from) {
  DsssPacket r = decode(x, n, from, os_);
  // A burst whose chips drift by more than a twentieth of a chip is decoded
  // again on the clock measured, the clock measured again on that one; a
  // long burst with a large error (its late chips decided wrongly at
  // first) takes two or three rounds.
  double scale = 1;  // the clock decoded with over the nominal one
  for (int round = 0; round < 3; ++round) {
    const double e = r.impairments.clockPpm * 1e-6;  // against the clock decoded with
    if (!r.found || !std::isfinite(e)) break;
    const double chips = static_cast<double>(r.end - r.start) * scale / os_;
    if (std::abs(e) * chips < 0.05) break;
    const double next = scale * (1 + e);
    DsssPacket again = decode(x, n, from, os_ / next);
    if (!again.found || (r.fcsOk && !again.fcsOk)) break;
    r = std::move(again);
    scale = next;
  }
  if (std::isfinite(r.impairments.clockPpm))
    r.impairments.clockPpm = (scale * (1 + r.impairments.clockPpm * 1e-6) - 1) * 1e6;
  return r;
}

DsssPacket DsssReceiver::decode(const cplx* x, size_t n, size_t from, double spc) {
  DsssPacket r;
  const ChipSampler S(x, n);
  const double os = spc;
  const double fs = 11e6 * os_;  // the sample rate
  const double symLen = 11 * os;
  // The chip at time t (samples), with the carrier offset w (radians per
  // sample) taken off once it is known.
  double w = 0;
  auto chip = [&](double t) { return w == 0 ? S.at(t) : S.at(t) * std::polar(1.0, -w * t); };
  auto despread = [&](double t, double spacing) {
    cplx acc = 0;
    for (size_t k = 0; k < 11; ++k) acc += chip(t + spacing * static_cast<double>(k)) * kBarker[k];
    return acc / 11.0;
  };
  chips_.clear();
  grid_.clear();
  times_.clear();
  auto keep = [&](cplx v, int points, double t) {
    chips_.push_back(v);
    grid_.push_back(points);
    times_.push_back(t);
  };
  if (static_cast<double>(from) + 40 * symLen > static_cast<double>(n)) {
    r.error = "too short for a DSSS preamble";
    return r;
  }
  // Symbol timing: the offset within one symbol where 16 despread symbols
  // carry the most energy, refined between samples.
  auto energy = [&](double t) {
    double e = 0;
    for (size_t k = 0; k < 16; ++k) e += std::norm(despread(t + symLen * static_cast<double>(k), os));
    return e;
  };
  const double step = std::floor(os) == os ? 1.0 : 0.5;
  double t0 = static_cast<double>(from), best = -1;
  for (double t = static_cast<double>(from); t < static_cast<double>(from) + symLen; t += step) {
    const double e = energy(t);
    if (e > best) {
      best = e;
      t0 = t;
    }
  }
  {  // also at one sample per chip: a filter of even length puts the chips between samples
    const double c = t0;
    for (double d = -0.5; d <= 0.5; d += 0.125) {
      const double e = energy(c + d);
      if (e > best * (1 + 1e-9)) {
        best = e;
        t0 = c + d;
      }
    }
  }
  r.start = static_cast<size_t>(std::max(0.0, std::floor(t0)));

  // Preamble: DBPSK symbols until an SFD appears, descrambled or as received.
  Descrambler D;
  Bits desc, raw;
  std::vector<cplx> syms;
  const uint8_t* sfd = nullptr;
  bool sfdScrambled = false;
  size_t k = 0;
  auto sym_at = [&](size_t i) { return despread(t0 + symLen * static_cast<double>(i), os); };
  for (; k < 420; ++k) {
    if (t0 + symLen * static_cast<double>(k + 1) > static_cast<double>(n)) break;
    syms.push_back(sym_at(k));
    if (k == 0) continue;
    const uint8_t b = std::real(syms[k] * std::conj(syms[k - 1])) < 0 ? 1 : 0;
    raw.push_back(b);
    desc.push_back(D.step(b));
    if (raw.size() < 24) continue;
    for (int scrambled = 1; scrambled >= 0 && !sfd; --scrambled) {
      const Bits& v = scrambled ? desc : raw;
      const size_t e = v.size();
      for (int shortP = 0; shortP < 2 && !sfd; ++shortP) {
        bool match = true;
        for (size_t i = 0; i < 16 && match; ++i) match = v[e - 16 + i] == kLongSfd[shortP ? 15 - i : i];
        for (size_t i = 0; i < 8 && match; ++i) match = v[e - 24 + i] == (shortP ? 0 : 1);
        if (match) {
          sfd = shortP ? kLongSfd + 1 : kLongSfd;  // only its identity matters
          r.longPreamble = shortP == 0;
          sfdScrambled = scrambled == 1;
        }
      }
    }
    if (sfd) break;
  }
  if (!sfd) {
    r.error = "no SFD found";
    return r;
  }
  r.found = true;
  r.syncBits = raw.size() - 16;
  const size_t sfdEnd = k;  // symbol index of the last SFD bit

  // Carrier offset from the SYNC and SFD symbols, their DBPSK bits now
  // known: the symbols are turned back by it from here on. The SNR of the
  // chips from the SYNC symbols (despreading gains 11 times).
  std::vector<cplx> sent(syms.size());
  sent[0] = 1;
  for (size_t i = 1; i < syms.size(); ++i) sent[i] = raw[i - 1] ? -sent[i - 1] : sent[i - 1];
  const double cfo = EstimateCfoDecided(syms.data(), sent.data(), syms.size(), symLen / fs);
  r.impairments.cfoHz = cfo;
  // Below 1 Hz (a tenth of a turn over the longest burst) the burst is
  // read as it is, as a clean one always was.
  if (std::abs(cfo) > 1) {
    w = 2 * std::numbers::pi * cfo / fs;
    for (size_t i = 0; i < syms.size(); ++i) syms[i] *= std::polar(1.0, -w * (t0 + symLen * static_cast<double>(i)));
  }
  // (From the fifth symbol on: the first ones may be on the power-on ramp.)
  const size_t syncSyms = sfdEnd >= 15 ? sfdEnd - 15 : 0, skip = std::min<size_t>(4, syncSyms / 2);
  r.impairments.snrDb =
      EstimateSnrDecided(syms.data() + skip, sent.data() + skip, syncSyms - skip) - 10 * std::log10(11.0);
  // The axis of the preamble's DBPSK symbols (up to a half turn), for the
  // IQ imbalance.
  cplx square = 0;
  for (size_t i = 0; i <= sfdEnd; ++i) square += syms[i] * syms[i];

  // Header: 48 DBPSK symbols, or 24 DQPSK symbols after a short preamble.
  const size_t hdrSyms = r.longPreamble ? 48 : 24;
  if (t0 + symLen * static_cast<double>(sfdEnd + hdrSyms + 1) > static_cast<double>(n)) {
    r.error = "burst ended in the PLCP header";
    return r;
  }
  Bits hr;
  cplx prev = syms[sfdEnd];
  double amp = 0;
  cplx fourth = 0;
  for (size_t i = sfdEnd - 15; i <= sfdEnd; ++i) fourth += std::pow(syms[i] / std::abs(syms[i]), 4);
  for (size_t i = 1; i <= hdrSyms; ++i) {
    const cplx s = sym_at(sfdEnd + i);
    if (r.longPreamble)
      hr.push_back(std::real(s * std::conj(prev)) < 0 ? 1 : 0);
    else
      quarter_bits(quarter(s * std::conj(prev)), hr);
    amp += std::abs(s);
    prev = s;
  }
  amp /= static_cast<double>(hdrSyms);
  const cplx lastHeaderSymbol = prev;
  Descrambler Dpay = D;
  Bits hd;
  for (uint8_t b : hr) hd.push_back(Dpay.step(b));
  bool payloadScrambled = false;
  const Bits* header = nullptr;
  if (sfdScrambled && header_crc_ok(hd)) {
    header = &hd;
    r.scrambling = "on";
    payloadScrambled = true;
  } else if (header_crc_ok(hr)) {
    header = &hr;
    r.scrambling = sfdScrambled ? "preamble only" : "off";
  }
  r.headerCrcOk = header != nullptr;
  if (!header) header = sfdScrambled ? &hd : &hr;
  r.signal = lsb_value(*header, 0, 8);
  r.service = lsb_value(*header, 8, 8);
  r.lengthUs = lsb_value(*header, 16, 16);
  const double tPay0 = t0 + symLen * static_cast<double>(sfdEnd + hdrSyms + 1);
  r.end = static_cast<size_t>(std::min(static_cast<double>(n), tPay0));
  if (!r.headerCrcOk) {
    r.error = "PLCP header CRC wrong";
    return r;
  }
  r.rateMbps = rate_of_signal(r.signal);
  r.pbcc = (r.service >> 3) & 1u;
  r.locked = (r.service >> 2) & 1u;
  if (r.rateMbps == 0) {
    r.error = "unknown SIGNAL value";
    return r;
  }
  if (r.rateMbps > 11 && !r.pbcc) {
    r.error = "22 and 33 Mbit/s need PBCC in SERVICE";
    return r;
  }
  // PSDU octets from LENGTH (microseconds) and the length extension bits
  // b5 b6 b7 (a count of surplus octets), less the PBCC tail octet.
  const unsigned ext = ((r.service >> 5) & 1u) << 2 | ((r.service >> 6) & 1u) << 1 | ((r.service >> 7) & 1u);
  const double whole = std::floor(r.rateMbps * r.lengthUs / 8 + 1e-9);
  const double less = (r.pbcc ? 1 : 0) + (r.rateMbps >= 11 ? ext : 0);
  if (whole < less) {
    r.error = "LENGTH too short";
    return r;
  }
  r.octets = static_cast<size_t>(whole - less);
  const size_t nbits = 8 * r.octets;

  // EVM reference grid: the header symbols' phases are odd multiples of 45 degrees.
  for (size_t i = 1; i <= hdrSyms; ++i) {
    const double t = t0 + symLen * static_cast<double>(sfdEnd + i);
    for (size_t c = 0; c < 11; ++c) keep(chip(t + os * static_cast<double>(c)), 4, t + os * static_cast<double>(c));
  }

  auto descramble = [&](const Bits& in, Bits& out) {
    Descrambler d = Dpay;
    out.resize(in.size());
    for (size_t i = 0; i < in.size(); ++i) out[i] = payloadScrambled ? d.step(in[i]) : in[i];
  };
  Bits payRaw;
  double tEnd = tPay0;
  if (!r.pbcc && (r.rateMbps == 1 || r.rateMbps == 2)) {
    const size_t nsym = r.rateMbps == 1 ? nbits : nbits / 2;
    if (tPay0 + symLen * static_cast<double>(nsym) > static_cast<double>(n) + 1) {
      r.error = "burst ended before the PSDU did";
      return r;
    }
    cplx p = lastHeaderSymbol;
    for (size_t m = 0; m < nsym; ++m) {
      const double t = tPay0 + symLen * static_cast<double>(m);
      const cplx s = despread(t, os);
      if (r.rateMbps == 1)
        payRaw.push_back(std::real(s * std::conj(p)) < 0 ? 1 : 0);
      else
        quarter_bits(quarter(s * std::conj(p)), payRaw);
      p = s;
      for (size_t c = 0; c < 11; ++c) keep(chip(t + os * static_cast<double>(c)), 4, t + os * static_cast<double>(c));
    }
    tEnd = tPay0 + symLen * static_cast<double>(nsym);
  } else if (!r.pbcc) {
    // CCK: phi1 by DQPSK on the codeword's phase, odd symbols turned by pi more.
    const bool eleven = r.rateMbps == 11;
    const size_t nsym = nbits / (eleven ? 8 : 4);
    if (tPay0 + 8 * os * static_cast<double>(nsym) > static_cast<double>(n) + 1) {
      r.error = "burst ended before the PSDU did";
      return r;
    }
    cplx p = lastHeaderSymbol;
    std::array<cplx, 8> c;
    for (size_t m = 0; m < nsym; ++m) {
      const double t = tPay0 + 8 * os * static_cast<double>(m);
      for (size_t j = 0; j < 8; ++j) {
        c[j] = chip(t + os * static_cast<double>(j));
        keep(c[j], 4, t + os * static_cast<double>(j));
      }
      unsigned bestW = 0;
      cplx bestC = 0;
      cck_best(c, eleven, bestW, bestC);
      const cplx stepPhase = bestC * std::conj(p) * (m % 2 == 1 ? -1.0 : 1.0);
      quarter_bits(quarter(stepPhase), payRaw);
      cck_bits(bestW, eleven, payRaw);
      p = bestC;
    }
    tEnd = tPay0 + 8 * os * static_cast<double>(nsym);
  } else {
    // PBCC. At 33 Mbit/s the clock-switch section comes first.
    double tPay = tPay0, spacing = os;
    cplx ref = -lastHeaderSymbol / std::abs(lastHeaderSymbol);  // the last header chip
    if (r.rateMbps == 33) {
      const double post = os * 2.0 / 3.0;
      cplx acc = 0;
      double mag = 0;
      for (size_t c = 0; c < 11; ++c) {
        const cplx v = chip(tPay0 + os * static_cast<double>(c));
        acc += v * kBarker[c];
        mag += std::abs(v);
      }
      const bool spread = mag > 0 && std::abs(acc) > 0.7 * mag;
      r.clockSwitch = spread ? ClockSwitch::Spread : ClockSwitch::Unspread;
      // Where the clock switches: after 33 chips (spread) or 3 symbols, or
      // up to 12 chips later, as an unfiltered waveform of our transmitter
      // has it (its filter delay differs at the two clocks); the switch
      // point is the one under which the resync field despreads best.
      const double nominal = spread ? 33 : 3;
      double preChips = nominal;
      if (spread) {
        double bestE = -1;
        for (double d = -4; d <= 12; ++d) {
          double e = 0;
          for (size_t b = 6; b < 15; ++b)
            e += std::norm(
                despread(tPay0 + (nominal + d) * os + 11 * post * static_cast<double>(b - 3) - d * post, post));
          if (e > bestE) {
            bestE = e;
            preChips = nominal + d;
          }
        }
      }
      // Chip c of the section (from the end of the header) lies at:
      auto chip_time = [&](double c) {
        return c < preChips ? tPay0 + os * c : tPay0 + os * preChips + post * (c - preChips);
      };
      // Our transmitter starts the clock-switch DBPSK from the last header
      // chip (the header's last symbol turned by the last Barker chip, -1),
      // as it starts the PBCC payload; the bits are read the same way.
      cplx p = ref;
      for (size_t b = 0; b < 15; ++b) {
        unsigned bit = 0;
        if (spread) {
          cplx sum = 0;
          for (size_t c = 0; c < 11; ++c) {
            const cplx v = chip(chip_time(static_cast<double>(11 * b + c)));
            sum += v * kBarker[c];
            keep(v, 4, chip_time(static_cast<double>(11 * b + c)));
          }
          const cplx sv = sum / 11.0;
          bit = std::real(sv * std::conj(p)) < 0 ? 1 : 0;
          p = sv;
        } else {
          const cplx sv = chip(chip_time(static_cast<double>(b)));
          bit = std::real(sv * std::conj(ref)) < 0 ? 1 : 0;
          keep(sv, 4, chip_time(static_cast<double>(b)));
        }
        r.clockSwitchBits = (r.clockSwitchBits << 1) | bit;
      }
      if (spread) ref = -p / std::abs(p);  // the last chip of the section
      tPay = chip_time(spread ? 165 : 15);
      r.switchStart = static_cast<size_t>(std::max(0.0, std::floor(tPay0)));
      r.switchEnd = static_cast<size_t>(std::ceil(tPay));
      spacing = post;
      if (spread)
        r.warnings.push_back(
            "clock switch sent as 15 Barker-spread DBPSK bits (165 chips, the clock switching after the third); "
            "an IEEE 802.11g receiver expects tail, head and resync unspread in about 1 us");
    }
    const size_t most = std::max(PbccDecoder::symbols_needed(r.rateMbps, r.octets, false),
                                 PbccDecoder::symbols_needed(r.rateMbps, r.octets, true));
    CVec y;
    for (size_t m = 0; m < most; ++m) {
      const double t = tPay + spacing * static_cast<double>(m);
      if (t > static_cast<double>(n) - 1) break;
      y.push_back(chip(t));
    }
    // Coherent decoding needs the phase steady over the payload: what is
    // left of a carrier offset is tracked first.
    // (The EVM and the clock are measured on the symbols as received.)
    CVec received;
    if (w != 0) {
      received = y;
      track_phase(y, std::polar(1.0, std::arg(fourth) / 4), r.rateMbps > 11 ? 8 : 4);
    }
    // Our transmitter's 8PSK points follow the reference in a way a carrier
    // phase does not leave alone (see the divided reference below), and it
    // sends the reference at an odd multiple of 45 degrees: a burst turned
    // by a carrier phase is turned back until it is there again.
    if (r.rateMbps > 11) {
      const double q = std::numbers::pi / 2, a = std::arg(ref) - q / 2;
      const double psi = a - q * std::round(a / q);
      if (std::abs(psi) > 1e-6) {
        if (received.empty()) received = y;
        const cplx back = std::polar(1.0, -psi);
        for (cplx& v : y) v *= back;
        ref *= back;
      }
    }
    Bits psdu;
    const PbccDecoded d = pbcc_.decode(y, ref, amp, r.rateMbps, r.octets, [&](const Bits& bits) {
      descramble(bits, psdu);
      return fcs_good(psdu);
    });
    if (d.raw.empty()) {
      r.error = "burst ended before the PSDU did";
      return r;
    }
    r.pbccConvention = d.convention;
    payRaw = d.raw;
    const size_t used = PbccDecoder::symbols_needed(r.rateMbps, r.octets, d.convention.uncoded);
    for (size_t m = 0; m < used && m < y.size(); ++m)
      keep(received.empty() ? y[m] : received[m], r.rateMbps > 11 ? 8 : 4, tPay + spacing * static_cast<double>(m));
    tEnd = tPay + spacing * static_cast<double>(used);
    if (d.ok) {
      if (d.convention.uncoded)
        r.warnings.push_back(
            "payload sent without the PBCC encoder under a header announcing PBCC: an IEEE 802.11 "
            "receiver cannot decode it");
      if (d.convention.coverClockwise)
        r.warnings.push_back("PBCC cover sequence turns the points clockwise (IEEE 802.11: counter-clockwise)");
      // Both 8PSK reference rules agree when the reference is +-(1+j)/sqrt2;
      // the divided one is tried only when the other failed.
      if (d.convention.dividedReference)
        r.warnings.push_back(
            "8PSK points follow the phase reference the opposite way to the 5.5 and 11 Mbit/s "
            "PBCC rule (turned by 45 degrees minus the reference angle)");
    }
  }
  descramble(payRaw, r.psdu);
  r.psdu.resize(std::min(r.psdu.size(), nbits));
  r.fcsOk = r.psdu.size() == nbits && fcs_good(r.psdu);
  r.end = static_cast<size_t>(std::min(static_cast<double>(n), std::ceil(tEnd)));

  // Chip EVM against the nearest point of the 4- or 8-point grid of the
  // burst's phase (found from the SFD symbols), peak over 1000-chip blocks.
  // With a carrier offset taken off, what is left of it is tracked chip by
  // chip on the decisions (a clean burst keeps its one phase).
  const double theta = std::arg(fourth) / 4;
  double meanMag = 0;
  for (const cplx& c : chips_) meanMag += std::sqrt(std::norm(c));
  meanMag /= std::max<size_t>(1, chips_.size());
  EvmSum all, block;
  double peak = 0;
  const cplx rot = std::polar(1.0, -theta);
  // The IQ imbalance is fitted in the frame of the preamble's DBPSK axis
  // (our transmitter, as the standard's examples, puts it at 45 degrees).
  const cplx toAxis = std::polar(1.0, theta - (std::arg(square) / 2 - std::numbers::pi / 4));
  WidelyLinearFit iq;
  const bool track = w != 0;
  constexpr double kAlpha = 0.03, kBeta = kAlpha * kAlpha / 4;
  double phase = 0, freq = 0;
  ideal_.resize(chips_.size());
  if (keepPoints_) {
    r.points.measured.resize(chips_.size());
    r.points.ideal.resize(chips_.size());
  }
  for (size_t i = 0; i < chips_.size(); ++i) {
    const cplx turn = track ? rot * std::polar(1.0, -phase) : rot;
    const cplx v = chips_[i] * turn / meanMag;
    const cplx ideal = grid_point(v, grid_[i]);
    all.add(v, ideal);
    block.add(v, ideal);
    if (keepPoints_) {
      r.points.measured[i] = v;
      r.points.ideal[i] = ideal;
    }
    iq.add(v * toAxis, ideal * toAxis, std::conj(ideal * toAxis));
    ideal_[i] = ideal * meanMag / turn;
    if (track) {
      const double e = std::arg(v * std::conj(ideal));
      freq += kBeta * e;
      phase += freq + kAlpha * e;
    }
    if (block.count == 1000 || i + 1 == chips_.size()) {
      if (block.count == 1000 || chips_.size() < 1000) peak = std::max(peak, block.ratio());
      block = EvmSum{};
    }
  }
  r.evmPercent = 100 * all.ratio();
  r.evmDb = all.db();
  r.evmPeakPercent = 100 * peak;
  {
    cplx A, B;
    if (iq.solve(A, B)) {
      const IqImbalance m = EstimateIqImbalance(B / A);
      r.impairments.iqGainDb = m.gainDb;
      r.impairments.iqPhaseDeg = m.phaseDeg;
    }
  }

  // Symbol clock: the timing of blocks of 500 chips against the points
  // decided, from the correlation with them 0.3 chip early, on time and
  // late (the peak of a parabola through the three), as a straight line
  // along the burst.
  // The fit takes the blocks up to where the drift passes a third of a chip
  // (decisions beyond may be wrong before the burst is decoded again).
  {
    const double h = 0.3 * os;
    std::vector<double> bt, btau;
    for (size_t first = 0; first + 100 <= chips_.size(); first += 500) {
      const size_t last = std::min(chips_.size(), first + 500);
      double early = 0, on = 0, late = 0, tsum = 0;
      for (size_t i = first; i < last; ++i) {
        const cplx ref = std::conj(ideal_[i]);
        early += std::real(chip(times_[i] - h) * ref);
        on += std::real(chips_[i] * ref);
        late += std::real(chip(times_[i] + h) * ref);
        tsum += times_[i];
      }
      const double curve = 2 * on - early - late;
      if (!(curve > 0)) break;
      const double delta = h * (late - early) / (2 * curve);
      if (!btau.empty() && std::abs(delta / fs - btau.front()) * fs > os / 3) break;
      bt.push_back(tsum / static_cast<double>(last - first) / fs);
      btau.push_back(delta / fs);
    }
    if (bt.size() >= 2) r.impairments.clockPpm = EstimateClockError(bt.data(), btau.data(), nullptr, bt.size());
  }

  cplx mean = 0;
  double power = 0;
  for (size_t i = r.start; i < r.end; ++i) {
    const cplx v = w == 0 ? x[i] : x[i] * std::polar(1.0, -w * static_cast<double>(i));
    mean += v;
    power += std::norm(v);
  }
  const double len = static_cast<double>(std::max<size_t>(1, r.end - r.start));
  r.carrierLeakageDb = std::max(-99.0, 10 * std::log10(std::max(std::norm(mean / len) / (power / len), 1e-300)));
  r.impairments.dcDbc = r.carrierLeakageDb;
  const size_t margin = static_cast<size_t>(8 * symLen);
  const size_t a = std::max(from, r.start > margin ? r.start - margin : 0), b = std::min(n, r.end + margin);
  r.ramps = measure_ramps(x + a, b - a, fs);
  return r;
}

}  // namespace tarvio::verify
