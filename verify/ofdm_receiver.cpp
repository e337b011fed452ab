// OFDM receiver: long-training-field timing, channel estimate, pilot phase
// tracking, demapping with per-carrier reliability, deinterleaving,
// depuncturing, Viterbi decoding and descrambling, written from IEEE 802.11
// clause 17 (17.3.3 training, 17.3.4 SIGNAL, 17.3.5 DATA).
#include "verify/ofdm_receiver.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "verify/cfo_estimate.h"
#include "verify/clock_estimate.h"
#include "verify/iq_estimate.h"
#include "verify/measurements.h"
#include "verify/ofdm_ramps.h"
#include "verify/psdu_check.h"
#include "verify/snr_estimate.h"

namespace tarvio::verify {

namespace {

constexpr double kPi = std::numbers::pi;

// Complex product without the checks for infinite operands of the library
// operator: the receiver's values are finite.
inline cplx mul(cplx a, cplx b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// Long training symbol on sub-carriers -26..26 (17.3.3).
constexpr int kLts[53] = {1,  1,  -1, -1, 1,  1, -1, 1,  -1, 1, 1,  1,  1,  1, 1,  -1, -1, 1,
                          1,  -1, 1,  -1, 1,  1, 1,  1,  0,  1, -1, -1, 1,  1, -1, 1,  -1, 1,
                          -1, -1, -1, -1, -1, 1, 1,  -1, -1, 1, -1, 1,  -1, 1, 1,  1,  1};

// Index (sub-carrier + 26) of each of the 48 data values, in the order of
// the mapper (17.3.5.9): sub-carriers -26..-22, -20..-8, -6..-1, 1..6,
// 8..20, 22..26.
constexpr std::array<size_t, 48> kDataIndex = [] {
  std::array<size_t, 48> v{};
  size_t i = 0;
  for (int k = -26; k <= 26; ++k)
    if (k != 0 && k != -21 && k != -7 && k != 7 && k != 21) v[i++] = static_cast<size_t>(k + 26);
  return v;
}();

constexpr int kPilots[4] = {-21, -7, 7, 21};
constexpr double kPilotSign[4] = {1, 1, 1, -1};

// Pilot polarity p_0..p_126 (17.3.5.9): the scrambler of 17.3.5.4 started
// with all ones, run on zeros; bit 1 gives -1.
const std::array<int, 127>& pilot_polarity() {
  static const std::array<int, 127> p = [] {
    std::array<int, 127> v{};
    unsigned s = 0x7F;  // bit i = x^(i+1) delay element
    for (size_t i = 0; i < 127; ++i) {
      const unsigned f = ((s >> 3) ^ (s >> 6)) & 1u;
      s = ((s << 1) | f) & 0x7F;
      v[i] = f ? -1 : 1;
    }
    return v;
  }();
  return p;
}

struct RateInfo {
  double mbps;
  int nbpsc;
  int num, den;  // code rate
};

// RATE bits R1..R4 (17.3.4.1, Table 17-6) as the value R1 + 2 R2 + 4 R3 + 8 R4.
bool rate_from_bits(unsigned r, RateInfo& out) {
  switch (r) {
    case 0b1011:
      out = {6, 1, 1, 2};
      return true;  // 1101
    case 0b1111:
      out = {9, 1, 3, 4};
      return true;  // 1111
    case 0b1010:
      out = {12, 2, 1, 2};
      return true;  // 0101
    case 0b1110:
      out = {18, 2, 3, 4};
      return true;  // 0111
    case 0b1001:
      out = {24, 4, 1, 2};
      return true;  // 1001
    case 0b1101:
      out = {36, 4, 3, 4};
      return true;  // 1011
    case 0b1000:
      out = {48, 6, 2, 3};
      return true;  // 0001
    case 0b1100:
      out = {54, 6, 3, 4};
      return true;  // 0011
    default:
      return false;
  }
}

// Deinterleaver of 17.3.5.7: received position j of coded bit k.
const std::vector<uint16_t>& interleave_positions(int nbpsc) {
  static const std::array<std::vector<uint16_t>, 7> table = [] {
    std::array<std::vector<uint16_t>, 7> t;
    for (int b : {1, 2, 4, 6}) {
      const int n = 48 * b, s = std::max(b / 2, 1);
      t[b].resize(n);
      for (int k = 0; k < n; ++k) {
        const int i = (n / 16) * (k % 16) + k / 16;
        const int j = s * (i / s) + (i + n - (16 * i) / n) % s;
        t[b][k] = static_cast<uint16_t>(j);
      }
    }
    return t;
  }();
  return table[nbpsc];
}

// Per-axis soft values of the Gray mappings (17.3.5.8), positive for a 1,
// for one coordinate in units of the constellation's grid (+-1, +-3, ...).
inline void axis_soft(double v, int bits, float w, float* out) {
  out[0] = static_cast<float>(v * w);
  if (bits >= 2) out[1] = static_cast<float>((bits == 2 ? 2 - std::abs(v) : 4 - std::abs(v)) * w);
  if (bits == 3) out[2] = static_cast<float>((2 - std::abs(std::abs(v) - 4)) * w);
}

// The coded bits of `steps` data bits, convolutionally encoded
// (generators 133 and 171 octal, the Viterbi decoder's) and punctured to
// code rate 1/2, 2/3 or 3/4 (`den` 2, 3, 4): the first `count` of them.
void encode_punctured(const uint8_t* bits, size_t steps, int den, size_t count, uint8_t* out) {
  static constexpr size_t kPlace[3][4] = {{0, 1}, {0, 1, 2}, {0, 1, 2, 5}};
  const size_t period = den == 2 ? 1 : den == 3 ? 2 : 3, got = period + 1;
  const size_t* place = kPlace[period - 1];
  std::fill(out, out + count, uint8_t(0));
  unsigned reg = 0;
  uint8_t full[6];
  for (size_t g = 0; g * period < steps && got * g < count; ++g) {
    for (size_t j = 0; j < period; ++j) {
      const size_t t = g * period + j;
      reg = ((reg << 1) | (t < steps ? bits[t] & 1u : 0u)) & 0x7Fu;
      full[2 * j] = static_cast<uint8_t>(__builtin_parity(reg & 0x6Du));
      full[2 * j + 1] = static_cast<uint8_t>(__builtin_parity(reg & 0x4Fu));
    }
    for (size_t j = 0; j < got && got * g + j < count; ++j) out[got * g + j] = full[place[j]];
  }
}

}  // namespace

double ofdm_evm_limit_db(double rate) {
  if (rate <= 6) return -5;
  if (rate <= 9) return -8;
  if (rate <= 12) return -10;
  if (rate <= 18) return -13;
  if (rate <= 24) return -16;
  if (rate <= 36) return -19;
  if (rate <= 48) return -22;
  return -25;
}

OfdmReceiver::OfdmReceiver(int oversampling)
    : os_(oversampling),
      N_(64 * static_cast<size_t>(std::max(oversampling, 1))),
      fft_(64, static_cast<size_t>(std::max(oversampling, 1))),
      viterbi_(0x6D, 0x4F) {
  if (oversampling < 1) throw std::invalid_argument("OfdmReceiver: oversampling must be 1 or more");
  lts_.assign(N_, cplx(0));
  for (size_t n = 0; n < N_; ++n) {
    cplx acc = 0;
    for (int c = -26; c <= 26; ++c)
      acc += static_cast<double>(kLts[c + 26]) * std::polar(1.0, 2 * kPi * c * static_cast<double>(n) / N_);
    lts_[n] = acc / static_cast<double>(N_);
  }
  ramp_.resize(N_);
  // Bin c of the whole window from the os polyphase rows' 64-point DFTs Y_r:
  // the sum over r of e^(-j 2 pi r c / N) Y_r(c mod 64).
  twiddle_.resize(53 * static_cast<size_t>(os_));
  for (size_t r = 0; r < static_cast<size_t>(os_); ++r)
    for (int c = -26; c <= 26; ++c)
      twiddle_[53 * r + static_cast<size_t>(c + 26)] =
          std::polar(1.0, -2 * kPi * static_cast<double>(r) * c / static_cast<double>(N_));
}

// Coarse carrier offset in radians per sample from the short training
// field: the lag-0.8 us correlation over 3.2 us where it is largest in
// [from, searchEnd) (or the next 20 us), which is on the field's plateau.
double OfdmReceiver::coarse_cfo(const cplx* x, size_t n, size_t from, size_t searchEnd) const {
  const size_t os = static_cast<size_t>(os_), lag = 16 * os, L = 64 * os;
  if (n < from + L + lag + 1) return 0;
  const size_t last = std::min({searchEnd, n - L - lag, from + 400 * os});
  cplx P = 0;
  for (size_t k = 0; k < L; ++k) P += std::conj(x[from + k]) * x[from + k + lag];
  cplx best = P;
  for (size_t d = from + 1; d <= last; ++d) {
    P += std::conj(x[d + L - 1]) * x[d + L - 1 + lag] - std::conj(x[d - 1]) * x[d - 1 + lag];
    if (std::norm(P) > std::norm(best)) best = P;
  }
  return best == cplx(0) ? 0 : std::arg(best) / static_cast<double>(lag);
}

bool OfdmReceiver::find_ltf(const cplx* x, size_t n, size_t from, size_t searchEnd, size_t& ltf) {
  const size_t os = static_cast<size_t>(os_);
  if (n < from + 2 * N_) return false;
  // An offset below a millionth of a turn per symbol is no offset: clean
  // waveforms are searched as they always were.
  const double coarse = coarse_cfo(x, n, from, searchEnd);
  coarseStep_ = std::abs(coarse) * static_cast<double>(N_) > 1e-6 ? coarse : 0;
  if (coarseStep_ != 0) {
    ltsRef_.resize(N_);
    for (size_t k = 0; k < N_; ++k) ltsRef_[k] = lts_[k] * std::polar(1.0, coarseStep_ * static_cast<double>(k));
  }
  const size_t last = std::min(searchEnd, n - 2 * N_);
  // Coarse correlation on every os-th sample of the reference.
  // Against the reference turned by the coarse offset, so that a large
  // offset does not smear the correlation over the symbol.
  const cplx* ref = coarseStep_ != 0 ? ltsRef_.data() : lts_.data();
  auto corr = [&](size_t l, size_t step) {
    double re = 0, im = 0;
    for (size_t k = 0; k < N_; k += step) {
      const cplx a = x[l + k], b = ref[k];
      re += a.real() * b.real() + a.imag() * b.imag();
      im += a.imag() * b.real() - a.real() * b.imag();
    }
    return (re * re + im * im) * static_cast<double>(step * step);
  };
  // The correlation peak is several samples wide at os samples per 50 ns:
  // search every os-th position first, then every position next to the
  // best of them.
  size_t best = from;
  double bestV = -1;
  for (size_t l = from; l <= last; l += os) {
    const double v = corr(l, os);
    if (v > bestV) {
      bestV = v;
      best = l;
    }
  }
  if (os > 1 && bestV > 0) {
    const size_t lo = best >= from + os - 1 ? best - (os - 1) : from, hi = std::min(best + os - 1, last);
    for (size_t l = lo; l <= hi; ++l) {
      const double v = corr(l, os);
      if (v > bestV || (v == bestV && l < best)) {
        bestV = v;
        best = l;
      }
    }
  }
  if (bestV <= 0) return false;
  // The peak is one of the two long symbols: take the first.
  if (best >= from + N_ && corr(best - N_, os) > 0.6 * bestV) best -= N_;
  // Refine with the full reference.
  const size_t lo = best >= 2 * os ? best - 2 * os : 0, hi = std::min(best + 2 * os, n - 2 * N_);
  double fine = -1;
  for (size_t l = lo; l <= hi; ++l) {
    const double v = corr(l, 1);
    if (v > fine) {
      fine = v;
      ltf = l;
    }
  }
  // A real long training field: the two symbols agree.
  cplx same = 0;
  double e1 = 0, e2 = 0;
  for (size_t k = 0; k < N_; ++k) {
    same += std::conj(x[ltf + k]) * x[ltf + N_ + k];
    e1 += std::norm(x[ltf + k]);
    e2 += std::norm(x[ltf + N_ + k]);
  }
  if (!(e1 > 0 && e2 > 0) || std::abs(same) < 0.5 * std::sqrt(e1 * e2)) return false;
  // ... and the long training symbol's own: the short training field repeats
  // itself as well, but matches the long symbol in a quarter of its
  // carriers only (a search window holding the short field but not yet the
  // long one, where noise has joined the packets into one burst).
  double refE = 0;
  for (size_t k = 0; k < N_; ++k) refE += std::norm(ref[k]);
  if (fine < 0.25 * e1 * refE) return false;
  // The short training field in front of it, now located, gives the coarse
  // offset again (the search's figure may come from another part of the row).
  if (ltf >= 160 * os) {
    const double c = 2 * kPi * EstimateCfo(x + ltf - 144 * os, 112 * os, 16 * os, 1.0);
    coarseStep_ = std::abs(c) * static_cast<double>(N_) > 1e-6 ? c : 0;
  }
  // The long symbols' lag of 3.2 us refines it; alone it would wrap at
  // +-156 kHz.
  cfoStep_ = coarseStep_ == 0 ? std::arg(same) / static_cast<double>(N_)
                              : 2 * kPi * RefineCfo(x + ltf, 2 * N_, N_, 1.0, coarseStep_ / (2 * kPi));
  derotate_ = std::abs(cfoStep_) > 1e-12;
  if (derotate_)
    for (size_t k = 0; k < N_; ++k) ramp_[k] = std::polar(1.0, -cfoStep_ * static_cast<double>(k));
  return true;
}

// The 53 sub-carriers -26..26 of the DFT window starting at `at`, with the
// frequency offset removed (phase referred to the first long symbol): the
// window is derotated by the offset's ramp from its first sample, and the
// phase the ramp has reached there is taken off the 53 results. Of the
// 64 os bins only these 53 are wanted, so the window is taken as os rows
// of 64 points (every os-th sample) whose DFTs are combined.
void OfdmReceiver::spectrum(const cplx* x, size_t at, double phase0, std::array<cplx, 53>& out) {
  cplx* in = fft_.in();
  if (derotate_) {
    for (size_t k = 0; k < N_; ++k) in[k] = mul(x[at + k], ramp_[k]);
  } else {
    std::copy(x + at, x + at + N_, in);
  }
  fft_.run();
  const cplx* y = fft_.out();
  const cplx rot = derotate_ ? std::polar(1.0, -phase0) : cplx(1);
  for (int c = -26; c <= 26; ++c) {
    const size_t i = static_cast<size_t>(c + 26), k = static_cast<size_t>(c & 63);
    cplx acc = y[k];
    for (size_t r = 1; r < static_cast<size_t>(os_); ++r) acc += mul(twiddle_[53 * r + i], y[64 * r + k]);
    out[i] = mul(acc, rot);
  }
}

OfdmPacket OfdmReceiver::receive(const cplx* x, size_t n, size_t from, size_t searchEnd, const Bits* knownPsdu) {
  OfdmPacket r;
  const size_t os = static_cast<size_t>(os_);
  size_t ltf = 0;
  if (!find_ltf(x, n, from, searchEnd, ltf)) {
    r.error = "no long training field";
    return r;
  }
  r.found = true;
  r.ltfStart = ltf;
  r.start = ltf >= 192 * os ? ltf - 192 * os : 0;
  r.cfoHz = cfoStep_ * 20e6 * os_ / (2 * kPi);
  // DFT windows start a little inside the guard interval, clear of the
  // previous symbol's window tail and of the filter's post-cursor; the
  // linear phase this gives is part of the channel estimate.
  const size_t back = 6 * os;
  auto phase_at = [&](size_t at) { return cfoStep_ * (static_cast<double>(at) - static_cast<double>(ltf)); };

  std::array<cplx, 53> y1, y2, H;
  spectrum(x, ltf - std::min(back, ltf), phase_at(ltf - std::min(back, ltf)), y1);
  spectrum(x, ltf + N_ - back, phase_at(ltf + N_ - back), y2);
  double used = 0;
  size_t usedCount = 0;
  for (int c = -26; c <= 26; ++c) {
    const size_t i = static_cast<size_t>(c + 26);
    H[i] = c == 0 ? cplx(0) : (y1[i] + y2[i]) / (2.0 * kLts[i]);
    if (c != 0) {
      used += std::norm(H[i]);
      ++usedCount;
    }
  }
  used /= static_cast<double>(usedCount);
  if (!(used > 0)) {
    r.error = "no signal in the long training field";
    return r;
  }
  std::array<float, 53> weight{};
  for (int c = -26; c <= 26; ++c) {
    const size_t i = static_cast<size_t>(c + 26);
    if (c == 0) continue;
    if (std::norm(H[i]) < 1e-3 * used) {
      r.unusedCarriers.push_back(c);
      weight[i] = 0;
    } else {
      weight[i] = static_cast<float>(std::norm(H[i]) / used);
    }
  }
  // The equaliser: 1/H of every carrier that carries something.
  std::array<cplx, 53> equaliser{};
  for (size_t i = 0; i < 53; ++i)
    if (weight[i] > 0) equaliser[i] = 1.0 / H[i];
  // Flatness (17.3.9.6.2): +-2 dB over -16..16, +2/-4 dB over the outer carriers.
  double inner = 0;
  size_t innerCount = 0;
  for (int c = -16; c <= 16; ++c)
    if (c != 0) {
      inner += std::norm(H[static_cast<size_t>(c + 26)]);
      ++innerCount;
    }
  inner /= static_cast<double>(innerCount);
  r.flatnessWorstDb = -std::numeric_limits<double>::infinity();
  for (int c = -26; c <= 26; ++c) {
    const size_t i = static_cast<size_t>(c + 26);
    const double p = c == 0 ? (std::norm(y1[i]) + std::norm(y2[i])) / 2 : std::norm(H[i]);
    r.flatnessDb[i] = 10 * std::log10(std::max(p, inner * 1e-12) / inner);
    if (c == 0) continue;
    const double lowLimit = std::abs(c) <= 16 ? -2 : -4;
    const double excess = std::max(r.flatnessDb[i] - 2, lowLimit - r.flatnessDb[i]);
    r.flatnessWorstDb = std::max(r.flatnessWorstDb, excess);
  }
  r.flatnessOk = !(as_printed(r.flatnessWorstDb, 1) > 0);  // the excess the report prints
  r.dcLeakageDb =
      std::max(-99.0, 10 * std::log10(std::max((std::norm(y1[26]) + std::norm(y2[26])) / 2, 1e-300) / used));

  // Equalised sub-carriers of OFDM symbol `sym` (0 = SIGNAL) with the
  // common phase from the pilots removed, and the phase slope across the
  // sub-carriers that a sampling-clock error builds up from symbol to
  // symbol. The slope is tracked as a straight line through the long
  // training field, theta = b u (u: symbols since the long training field's
  // middle), b fitted to the slopes the pilots showed so far.
  std::array<cplx, 53> z;
  const size_t firstSym = ltf + 2 * N_ + 16 * os;  // first sample after the SIGNAL guard interval
  double fitUT = 0, fitUU = 0;                     // sums of u theta and u^2 of the measured slopes
  auto equalise = [&](size_t sym) -> bool {
    const size_t at = firstSym + sym * 80 * os - back;
    if (at + N_ > n) return false;
    spectrum(x, at, phase_at(at), z);
    if (sym > 0) std::copy(z.begin(), z.end(), raw_.begin() + static_cast<long>(53 * (sym - 1)));
    for (size_t i = 0; i < 53; ++i) z[i] = mul(z[i], equaliser[i]);
    const double u = static_cast<double>(sym) + 1.4;
    // The drift is held within what 60 ppm give (2 pi 80 e / 64 per symbol):
    // at a low SNR the first symbols' few pilots would otherwise turn the
    // outer carriers by a noisy slope.
    constexpr double kMostDrift = 2 * kPi * 80 * 60e-6 / 64;
    const double theta = sym >= 3 && fitUU > 0 ? std::clamp(fitUT / fitUU, -kMostDrift, kMostDrift) * u : 0;
    if (theta != 0) {
      const cplx step = std::polar(1.0, -theta);
      cplx t = std::polar(1.0, 26 * theta);
      for (size_t i = 0; i < 53; ++i, t = mul(t, step)) z[i] = mul(z[i], t);
    }
    const double p = pilot_polarity()[sym % 127];
    cplx acc = 0;
    for (int k = 0; k < 4; ++k) {
      const size_t i = static_cast<size_t>(kPilots[k] + 26);
      acc += z[i] * (p * kPilotSign[k]) * static_cast<double>(weight[i]);
    }
    const cplx rot = std::abs(acc) > 0 ? std::conj(acc) / std::abs(acc) : cplx(1);
    double num = 0, den = 0;
    for (int k = 0; k < 4; ++k) {
      const size_t i = static_cast<size_t>(kPilots[k] + 26);
      if (weight[i] == 0) continue;
      const double c = kPilots[k], w = weight[i];
      num += w * c * std::arg(z[i] * (p * kPilotSign[k]) * rot);
      den += w * c * c;
    }
    if (den > 0) {
      fitUT += u * (theta + num / den);
      fitUU += u * u;
    }
    for (auto& v : z) v = mul(v, rot);
    if (sym > 0) {
      rot_[sym - 1] = rot;
      slope_[sym - 1] = theta;
    }
    return true;
  };

  // SIGNAL: BPSK, rate 1/2, 24 bits.
  if (!equalise(0)) {
    r.error = "burst ended in the SIGNAL field";
    return r;
  }
  {
    const auto& pos = interleave_positions(1);
    float rx[48], de[48];
    for (size_t k = 0; k < 48; ++k) {
      const size_t i = kDataIndex[k];
      rx[k] = static_cast<float>(z[i].real() * weight[i]);
    }
    for (size_t k = 0; k < 48; ++k) de[k] = rx[pos[k]];
    viterbi_.decode(de, 24, true, decoded_);
  }
  unsigned rateBits = 0, parity = 0;
  for (size_t i = 0; i < 4; ++i) rateBits |= static_cast<unsigned>(decoded_[i]) << i;
  for (size_t i = 0; i < 12; ++i) r.length |= static_cast<unsigned>(decoded_[5 + i]) << i;
  for (size_t i = 0; i < 18; ++i) parity ^= decoded_[i];
  bool tailZero = true;
  for (size_t i = 18; i < 24; ++i) tailZero = tailZero && decoded_[i] == 0;
  r.parityOk = parity == 0;
  RateInfo ri{};
  const bool known = rate_from_bits(rateBits, ri);
  r.signalOk = r.parityOk && known && tailZero && decoded_[4] == 0;
  if (!known || !r.parityOk) {
    r.error = !r.parityOk ? "SIGNAL parity wrong" : "SIGNAL has an unknown RATE";
    r.end = firstSym + 64 * os;
    return r;
  }
  r.rateMbps = ri.mbps;
  r.evmLimitDb = ofdm_evm_limit_db(ri.mbps);

  // DATA symbols.
  const size_t ncbps = 48 * static_cast<size_t>(ri.nbpsc);
  const size_t ndbps = ncbps * static_cast<size_t>(ri.num) / static_cast<size_t>(ri.den);
  const size_t nbits = 16 + 8 * static_cast<size_t>(r.length) + 6;
  r.symbols = (nbits + ndbps - 1) / ndbps;
  r.end = firstSym + (r.symbols + 1) * 80 * os - 16 * os;
  if (r.end > n) {
    r.error = "burst ended before the last DATA symbol";
    return r;
  }
  const auto& pos = interleave_positions(ri.nbpsc);
  const int axisBits = ri.nbpsc / 2;
  const double scale = ri.nbpsc == 1   ? 1
                       : ri.nbpsc == 2 ? std::sqrt(2.0)
                       : ri.nbpsc == 4 ? std::sqrt(10.0)
                                       : std::sqrt(42.0);
  coded_.resize(r.symbols * ncbps);
  raw_.resize(53 * r.symbols);
  rot_.resize(r.symbols);
  slope_.resize(r.symbols);
  ideal_.resize(48 * r.symbols);
  float rx[48 * 6];
  for (size_t s = 0; s < r.symbols; ++s) {
    equalise(s + 1);
    for (size_t k = 0; k < 48; ++k) {
      const size_t i = kDataIndex[k];
      const cplx v = z[i] * scale;
      const float w = weight[i];
      float* o = &rx[k * static_cast<size_t>(ri.nbpsc)];
      if (ri.nbpsc == 1) {
        o[0] = static_cast<float>(v.real() * w);
      } else {
        axis_soft(v.real(), axisBits, w, o);
        axis_soft(v.imag(), axisBits, w, o + axisBits);
      }
    }
    float* dst = &coded_[s * ncbps];
    for (size_t k = 0; k < ncbps; ++k) dst[k] = rx[pos[k]];
  }
  // Depuncturing (17.3.5.6): 2/3 sends A1 B1 A2 of A1 B1 A2 B2; 3/4 sends
  // A1 B1 A2 B3 of A1 B1 A2 B2 A3 B3. Stolen bits are zero soft values.
  const size_t steps = r.symbols * ndbps;
  soft_.assign(2 * steps, 0.0f);
  // One puncturing period at a time: 1, 2 or 3 steps (2, 4 or 6 values)
  // from 2, 3 or 4 received values; `place` gives each one's position.
  static constexpr size_t kPlace[3][4] = {{0, 1}, {0, 1, 2}, {0, 1, 2, 5}};
  const size_t period = ri.den == 2 ? 1 : ri.den == 3 ? 2 : 3, got = period + 1;
  const size_t* place = kPlace[period - 1];
  const size_t periods = std::min(steps / period, coded_.size() / got);
  for (size_t g = 0; g < periods; ++g)
    for (size_t j = 0; j < got; ++j) soft_[2 * period * g + place[j]] = coded_[got * g + j];
  for (size_t j = 0; j < got && periods * got + j < coded_.size(); ++j)
    if (2 * period * periods + place[j] < soft_.size())
      soft_[2 * period * periods + place[j]] = coded_[got * periods + j];
  viterbi_.decode(soft_.data(), steps, false, decoded_);
  scrambled_.assign(decoded_.begin(), decoded_.begin() + static_cast<long>(steps));

  // Descrambling (17.3.5.5): the first seven SERVICE bits are zeros before
  // scrambling, so the received ones are the scrambler's register.
  // The scrambler sequence repeats every 127 bits.
  unsigned reg = 0;  // bit i = delay element i+1
  for (size_t i = 0; i < 7; ++i) reg |= static_cast<unsigned>(decoded_[i]) << (6 - i);
  uint8_t sequence[127];
  for (auto& f : sequence) {
    f = static_cast<uint8_t>(((reg >> 3) ^ (reg >> 6)) & 1u);
    reg = ((reg << 1) | f) & 0x7F;
  }
  uint8_t* bits = decoded_.data();  // (through a vector, every byte stored would reload its start)
  for (size_t i = 7; i < steps; i += 127) {
    const size_t m = std::min<size_t>(127, steps - i);
    for (size_t j = 0; j < m; ++j) bits[i + j] ^= sequence[j];
  }
  for (size_t i = 0; i < 7; ++i) decoded_[i] = 0;
  for (size_t i = 0; i < 16; ++i) r.service |= static_cast<unsigned>(decoded_[i]) << i;
  r.psdu.swap(spare_);  // a buffer handed back by recycle(), if any
  r.psdu.assign(decoded_.begin() + 16, decoded_.begin() + 16 + 8 * static_cast<long>(r.length));
  r.fcsOk = fcs_good(r.psdu);

  // The points sent: the decoded bits encoded again, or, when they fail
  // their FCS, a known PSDU of the announced length scrambled the same way
  // (with the SERVICE bits received and the tail cleared after scrambling).
  if (!r.fcsOk && knownPsdu && knownPsdu->size() == 8 * static_cast<size_t>(r.length)) {
    const size_t psduEnd = 16 + 8 * static_cast<size_t>(r.length);
    // The scrambler's start: of the 127, the one under which the known
    // bits, encoded, agree best with the signs of the first two symbols'
    // received coded bits (at a low SNR the decoded SERVICE bits that gave
    // the descrambler its seed may be wrong).
    auto plain = [&](size_t i) -> uint8_t { return i >= 16 && i < psduEnd ? (*knownPsdu)[i - 16] : 0; };
    const size_t trial = std::min(steps, 2 * ndbps), trialCoded = std::min(coded_.size(), 2 * ncbps);
    uint8_t trialBits[2 * 216], trialOut[2 * 288];
    size_t bestAgree = 0;
    unsigned bestSeed = 1;
    for (unsigned seed = 1; seed < 128; ++seed) {
      unsigned g = seed;
      for (size_t i = 0; i < trial; ++i) {
        const uint8_t f = static_cast<uint8_t>(((g >> 3) ^ (g >> 6)) & 1u);
        g = ((g << 1) | f) & 0x7F;
        trialBits[i] = static_cast<uint8_t>(plain(i) ^ f);
      }
      encode_punctured(trialBits, trial, ri.den, trialCoded, trialOut);
      size_t agree = 0;
      for (size_t i = 0; i < trialCoded; ++i) agree += (coded_[i] > 0) == (trialOut[i] == 1);
      if (agree > bestAgree) {
        bestAgree = agree;
        bestSeed = seed;
      }
    }
    unsigned g = bestSeed;
    for (size_t i = 0; i < steps; ++i) {
      const uint8_t f = static_cast<uint8_t>(((g >> 3) ^ (g >> 6)) & 1u);
      g = ((g << 1) | f) & 0x7F;
      scrambled_[i] = static_cast<uint8_t>(plain(i) ^ f);
    }
    for (size_t i = psduEnd; i < psduEnd + 6 && i < steps; ++i) scrambled_[i] = 0;
    r.knownReference = true;
  }
  reference_points(scrambled_.data(), steps, ri.nbpsc, ri.den, r.symbols);
  measure(r, y1, y2, weight, equaliser);
  r.ramps = measure_ofdm_ramps(x, n, 20e6 * os_, r.start, r.end);
  return r;
}

// The 48 data points of every DATA symbol that the scrambled data bits
// give: convolutional encoding (generators 133 and 171 octal, the
// Viterbi decoder's), puncturing, interleaving and Gray mapping (17.3.5.6
// to 17.3.5.8), into ideal_.
void OfdmReceiver::reference_points(const uint8_t* bits, size_t steps, int nbpsc, int den, size_t symbols) {
  const size_t ncbps = 48 * static_cast<size_t>(nbpsc);
  recoded_.resize(symbols * ncbps);
  encode_punctured(bits, steps, den, recoded_.size(), recoded_.data());
  const auto& pos = interleave_positions(nbpsc);
  const double scale = nbpsc == 1 ? 1 : nbpsc == 2 ? std::sqrt(2.0) : nbpsc == 4 ? std::sqrt(10.0) : std::sqrt(42.0);
  const int axisBits = nbpsc / 2;
  // Gray levels per axis (17.3.5.8): the first bit gives the sign, the
  // others the magnitude.
  auto level = [axisBits](const uint8_t* b) {
    const double sign = b[0] ? 1 : -1;
    if (axisBits == 1) return sign;
    if (axisBits == 2) return sign * (b[1] ? 1 : 3);
    return sign * (b[1] ? (b[2] ? 3 : 1) : (b[2] ? 5 : 7));
  };
  uint8_t at[48 * 6];
  ideal_.resize(48 * symbols);
  for (size_t s = 0; s < symbols; ++s) {
    const uint8_t* c = &recoded_[s * ncbps];
    for (size_t k = 0; k < ncbps; ++k) at[pos[k]] = c[k];
    for (size_t k = 0; k < 48; ++k) {
      const uint8_t* b = &at[k * static_cast<size_t>(nbpsc)];
      ideal_[48 * s + k] = nbpsc == 1 ? cplx(b[0] ? 1 : -1, 0) : cplx(level(b), level(b + axisBits)) / scale;
    }
  }
}

// EVM and the impairment figures of a decoded packet, from the DATA
// symbols' sub-carriers (raw_, with the pilot phase rot_ and the slope
// slope_ the demodulation took off) against the points sent (ideal_).
void OfdmReceiver::measure(OfdmPacket& r, const std::array<cplx, 53>& y1, const std::array<cplx, 53>& y2,
                           const std::array<float, 53>& weight, const std::array<cplx, 53>& equaliser) {
  const size_t S = r.symbols;
  BurstImpairments& m = r.impairments;
  // What the long training field left of the carrier offset: the pilots'
  // common phase turns on by it from symbol to symbol (4 us apart); its
  // straight line refines the figure.
  if (S >= 2) {
    double prev = 0, unwrapped = 0, su = 0, sp = 0, suu = 0, sup = 0;
    for (size_t s = 0; s < S; ++s) {
      const double ph = -std::arg(rot_[s]);
      double d = ph - prev;
      d -= 2 * kPi * std::round(d / (2 * kPi));
      unwrapped = s == 0 ? ph : unwrapped + d;
      prev = ph;
      const double us = static_cast<double>(s);
      su += us;
      sp += unwrapped;
      suu += us * us;
      sup += us * unwrapped;
    }
    const double ns = static_cast<double>(S), d = ns * suu - su * su;
    if (d > 0) r.cfoHz += (ns * sup - su * sp) / d / (2 * kPi * 4e-6);
  }
  m.cfoHz = r.cfoHz;
  // The sub-carrier of each data point, and the data point of each carrier.
  std::array<int, 53> dataOf;
  dataOf.fill(-1);
  for (size_t k = 0; k < 48; ++k) dataOf[kDataIndex[k]] = static_cast<int>(k);
  auto ramp = [](double theta, std::array<cplx, 53>& t) {
    const cplx step = std::polar(1.0, -theta);
    cplx v = std::polar(1.0, 26 * theta);
    for (size_t i = 0; i < 53; ++i, v = mul(v, step)) t[i] = v;
  };
  std::array<cplx, 53> t;

  // Timing drift: the slope left in each symbol, from neighbouring
  // sub-carriers against the points sent, on top of the one taken off.
  std::vector<double>&u = u_, &theta = theta_;
  u.resize(S);
  theta.resize(S);
  for (size_t s = 0; s < S; ++s) {
    ramp(slope_[s], t);
    const double p = pilot_polarity()[(s + 1) % 127];
    std::array<cplx, 53> q{};
    for (size_t i = 0; i < 53; ++i) {
      if (weight[i] == 0) continue;
      cplx ref = 0;
      if (dataOf[i] >= 0) ref = ideal_[48 * s + static_cast<size_t>(dataOf[i])];
      for (int k = 0; k < 4; ++k)
        if (i == static_cast<size_t>(kPilots[k] + 26)) ref = p * kPilotSign[k];
      q[i] = mul(mul(mul(raw_[53 * s + i], t[i]), equaliser[i]), std::conj(ref));
    }
    // Least squares of each carrier's phase (about the symbol's mean)
    // against its index, weighted by its power.
    cplx mean = 0;
    for (const cplx& v : q) mean += v;
    double num = 0, den = 0;
    for (size_t i = 0; i < 53; ++i) {
      if (q[i] == cplx(0)) continue;
      const double c = static_cast<double>(i) - 26, w = std::norm(q[i]);
      num += w * c * std::arg(q[i] * std::conj(mean));
      den += w * c * c;
    }
    u[s] = static_cast<double>(s + 1) + 1.4;
    theta[s] = slope_[s] + (den > 0 ? num / den : 0);
  }
  // The straight line through the slopes; in time, a slope theta per
  // sub-carrier spacing of 312.5 kHz comes from a delay of -theta / (2 pi
  // 312.5 kHz): a later window turns carrier c by -2 pi c delay 312.5 kHz.
  double a = 0, b = 0;
  if (S >= 2) {
    double su = 0, st = 0, suu = 0, sut = 0;
    for (size_t s = 0; s < S; ++s) {
      su += u[s];
      st += theta[s];
      suu += u[s] * u[s];
      sut += u[s] * theta[s];
    }
    const double ns = static_cast<double>(S), d = ns * suu - su * su;
    b = d > 0 ? (ns * sut - su * st) / d : 0;
    a = (st - b * su) / ns;
    ts_.resize(S);
    tau_.resize(S);
    for (size_t s = 0; s < S; ++s) {
      ts_[s] = u[s] * 4e-6;
      tau_[s] = -theta[s] / (2 * kPi * 312.5e3);
    }
    m.clockPpm = EstimateClockError(ts_.data(), tau_.data(), nullptr, S);
  } else {
    a = S == 1 ? theta[0] : 0;
  }

  // EVM after the corrections: each symbol's slope from the line, the
  // pilots' common phase, and the channel estimated again from all DATA
  // symbols and the points sent (the long training field alone would add
  // its own noise to the figure).
  std::array<cplx, 53> num{};
  std::array<double, 53> den{};
  auto corrected = [&](size_t s, std::array<cplx, 53>& v) {
    ramp(a + b * u[s], t);
    for (size_t i = 0; i < 53; ++i) v[i] = mul(mul(raw_[53 * s + i], t[i]), rot_[s]);
  };
  std::array<cplx, 53> v;
  for (size_t s = 0; s < S; ++s) {
    corrected(s, v);
    for (size_t k = 0; k < 48; ++k) {
      const size_t i = kDataIndex[k];
      const cplx d = ideal_[48 * s + k];
      num[i] += mul(v[i], std::conj(d));
      den[i] += std::norm(d);
    }
  }
  std::array<cplx, 53> equaliser2{};
  for (size_t i = 0; i < 53; ++i)
    if (weight[i] > 0 && den[i] > 0 && std::abs(num[i]) != 0) equaliser2[i] = den[i] / num[i];
  EvmSum evm;
  if (keepPoints_) {
    r.points.perSymbol = 48;
    r.points.measured.assign(48 * S, cplx(std::nan(""), std::nan("")));
    r.points.ideal.assign(ideal_.begin(), ideal_.begin() + static_cast<long>(48 * S));
  }
  std::array<WidelyLinearFit, 53> fits{};
  cplx dcSum = 0;
  double power = 0;
  for (size_t s = 0; s < S; ++s) {
    corrected(s, v);
    for (size_t k = 0; k < 48; ++k) {
      const size_t i = kDataIndex[k];
      if (equaliser2[i] == cplx(0)) continue;
      evm.add(mul(v[i], equaliser2[i]), ideal_[48 * s + k]);
      if (keepPoints_) r.points.measured[48 * s + k] = mul(v[i], equaliser2[i]);
      // The mirror carrier's point, folded onto this one by IQ imbalance.
      const size_t mirror = static_cast<size_t>(dataOf[52 - i]);
      fits[i].add(v[i], ideal_[48 * s + k], std::conj(ideal_[48 * s + mirror]));
    }
    dcSum += v[26];
    for (size_t i = 0; i < 53; ++i)
      if (i != 26) power += std::norm(v[i]);
  }
  r.evmDb = evm.db();
  r.evmPercent = 100 * evm.ratio();

  // IQ imbalance: the image ratio B / A of every carrier, weighted by its power.
  cplx ratio = 0;
  double ratioWeight = 0;
  for (size_t i = 0; i < 53; ++i) {
    cplx A, B;
    if (equaliser2[i] == cplx(0) || !fits[i].solve(A, B)) continue;
    ratio += std::norm(A) * (B / A);
    ratioWeight += std::norm(A);
  }
  if (ratioWeight > 0) {
    const IqImbalance iq = EstimateIqImbalance(ratio / ratioWeight);
    m.iqGainDb = iq.gainDb;
    m.iqPhaseDeg = iq.phaseDeg;
  }
  // DC: the DC bin's mean (it carries nothing, so a constant offset adds
  // up there) against the power of all sub-carriers.
  if (S > 0 && power > 0) {
    const cplx dc = dcSum / static_cast<double>(S);
    m.dcDbc = std::max(-99.0, 10 * std::log10(std::max(std::norm(dc) / (power / static_cast<double>(S)), 1e-300)));
  }
  // SNR from the two long training symbols, over the carriers that carry something.
  std::array<cplx, 53> a1, a2;
  size_t used = 0;
  for (size_t i = 0; i < 53; ++i)
    if (weight[i] > 0) {
      a1[used] = y1[i];
      a2[used++] = y2[i];
    }
  m.snrDb = EstimateSnrRepeated(a1.data(), a2.data(), used);
}

}  // namespace tarvio::verify
