// EVM in dB, the spectrum masks and the DSSS ramp times.
#include "verify/measurements.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace tarvio::verify {

double EvmSum::db() const {
  const double r = ratio();
  return r > 0 ? 20 * std::log10(r) : -std::numeric_limits<double>::infinity();
}

double as_printed(double value, int decimals) {
  if (!std::isfinite(value)) return value;
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return std::strtod(text, nullptr);
}

double mask_limit_db(MaskKind kind, double f) {
  const double a = std::abs(f) / 1e6;
  if (kind == MaskKind::Dsss) {
    if (a < 11) return 0;
    return a < 22 ? -30 : -50;
  }
  // OFDM: 0 dBr to 9 MHz, -20 dBr at 11 MHz, -28 dBr at 20 MHz, -40 dBr
  // at 30 MHz and beyond, straight lines in dB between.
  if (a <= 9) return 0;
  if (a <= 11) return -20 * (a - 9) / 2;
  if (a <= 20) return -20 - 8 * (a - 11) / 9;
  if (a <= 30) return -28 - 12 * (a - 20) / 10;
  return -40;
}

namespace {
// Bins of 100 kHz or less; at the highest sample rates (beyond 100 GHz)
// the bins widen instead of the transform growing past 2^20 points.
size_t mask_fft_size(double fs) {
  size_t n = 64;
  while (static_cast<double>(n) < fs / 100e3 && n < (size_t(1) << 20)) n *= 2;
  return n;
}
}  // namespace

MaskResult worse(const MaskResult& a, const MaskResult& b) {
  if (!b.evaluated) return a;
  if (!a.evaluated) return b;
  MaskResult r = b.worstMarginDb < a.worstMarginDb ? b : a;
  r.pass = a.pass && b.pass;
  r.checkedToHz = std::max(a.checkedToHz, b.checkedToHz);
  r.limitedByRate = a.limitedByRate || b.limitedByRate;
  return r;
}

SpectrumMask::SpectrumMask(double sample_rate, MaskKind kind, double chip_scale)
    : fs_(sample_rate),
      kind_(kind),
      fft_(mask_fft_size(sample_rate)),
      firstCornerHz_((kind == MaskKind::Ofdm ? 9e6 : 11e6) * chip_scale),
      lastCornerHz_((kind == MaskKind::Ofdm ? 30e6 : 22e6) * chip_scale) {
  const size_t n = fft_.size();
  window_.resize(n);
  for (size_t i = 0; i < n; ++i) window_[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / n);
  psd_.resize(n);
  limit_.resize(n);
  overLimit_.resize(n);
  for (size_t k = 0; k < n; ++k) {
    const double f = (k < n / 2 ? static_cast<double>(k) : static_cast<double>(k) - n) * fs_ / n;
    limit_[k] = mask_limit_db(kind_, f / chip_scale);
    overLimit_[k] = std::pow(10.0, -limit_[k] / 10);
  }
}

MaskResult SpectrumMask::check(const cplx* x, size_t n) {
  MaskResult r;
  const size_t N = fft_.size();
  std::fill(psd_.begin(), psd_.end(), 0.0);
  if (n == 0) return r;
  if (fs_ / 2 < firstCornerHz_) {
    r.bandTooNarrow = true;
    r.checkedToHz = fs_ / 2;
    return r;
  }
  // The spectrum is judged relative to its peak: the samples are scaled to
  // a largest component of 1, so that no square overflows.
  double largest = 0;
  for (size_t i = 0; i < n; ++i) {
    const double a = std::abs(x[i].real()), b = std::abs(x[i].imag());
    if (!std::isfinite(a) || !std::isfinite(b)) return r;  // NaN or Inf: no spectrum to judge
    largest = std::max({largest, a, b});
  }
  if (!(largest > 0)) return r;
  const double unit = 1 / largest;
  auto add_segment = [&](size_t first, size_t m) {
    cplx* in = fft_.in();
    for (size_t i = 0; i < m; ++i) {
      const double w = window_[i] * unit;
      in[i] = {x[first + i].real() * w, x[first + i].imag() * w};
    }
    std::fill(in + m, in + N, cplx(0));
    fft_.run();
    const cplx* y = fft_.out();
    for (size_t k = 0; k < N; ++k) psd_[k] += y[k].real() * y[k].real() + y[k].imag() * y[k].imag();
  };
  // Whole segments cover the burst. A rest of half a segment or more is
  // taken as the segment that ends with the burst (it overlaps the one
  // before): a rest padded with zeros would end in a step wherever the burst
  // is cut, and the step's spectrum would be charged to the burst. A burst
  // shorter than one segment is taken once, padded with zeros.
  const size_t whole = n / N, rest = n % N;
  for (size_t s = 0; s < whole; ++s) add_segment(s * N, N);
  if (whole == 0)
    add_segment(0, n);
  else if (rest >= N / 2)
    add_segment(n - N, N);
  const double peak = *std::max_element(psd_.begin(), psd_.end());
  if (!(peak > 0) || !std::isfinite(peak)) return r;
  r.evaluated = true;
  r.checkedToHz = fs_ / 2;
  r.limitedByRate = fs_ / 2 < lastCornerHz_;
  // The smallest margin is where the power over the limit, both linear, is
  // largest. Inside the flat part of the mask (0 dBr) nothing can exceed
  // the peak.
  size_t worst = N;
  double most = -1;
  for (size_t k = 0; k < N; ++k) {
    if (!(limit_[k] < 0)) continue;
    const double over = std::max(psd_[k], peak * 1e-30) * overLimit_[k];
    if (over > most) {
      most = over;
      worst = k;
    }
  }
  if (worst < N) {
    r.worstMarginDb = limit_[worst] - 10 * std::log10(std::max(psd_[worst], peak * 1e-30) / peak);
    r.worstFreqHz = (worst < N / 2 ? static_cast<double>(worst) : static_cast<double>(worst) - N) * fs_ / N;
  }
  r.pass = !(as_printed(-r.worstMarginDb, 1) > 0);  // the excess the report prints
  return r;
}

namespace {

// The k-th smallest (from 0) of a set of values, exactly: the values are
// counted in bins between the smallest and the largest, only
// those of the bin that holds the k-th are kept, and so on until few are
// left to put in order (or all are equal). Putting all of them in order
// cost more than the rest of a DSSS burst's measurements.
// `kept` holds the values (in any order), all in [first, last]; it is
// used up.
double kth_smallest(std::vector<double>& kept, size_t k, double first, double last, std::vector<uint32_t>& bins,
                    std::vector<double>& next) {
  constexpr size_t kBins = 1024;
  for (bool bounds = true; kept.size() > 64; bounds = false) {
    if (!bounds) {
      const auto [lo, hi] = std::minmax_element(kept.begin(), kept.end());
      first = *lo;
      last = *hi;
    }
    if (first == last) return first;
    // An order-keeping map to bins: the k-th lies in the bin where the
    // running count passes k.
    const double scale = kBins / (last - first);
    auto bin = [&](double x) {
      return static_cast<size_t>(std::min<long>(kBins - 1, static_cast<long>((x - first) * scale)));
    };
    // Four counts per bin, taken in turn: most values fall in a few bins,
    // and one count would wait on its own last increment.
    bins.assign(4 * kBins, 0);
    for (size_t i = 0; i < kept.size(); ++i) ++bins[4 * bin(kept[i]) + (i & 3)];
    auto count = [&](size_t c) { return size_t{bins[4 * c]} + bins[4 * c + 1] + bins[4 * c + 2] + bins[4 * c + 3]; };
    size_t b = 0;
    while (count(b) <= k) k -= count(b++);
    next.resize(kept.size());
    size_t kept_in_bin = 0;
    for (double x : kept)
      if (bin(x) == b) next[kept_in_bin++] = x;
    next.resize(kept_in_bin);
    if (next.size() == kept.size()) break;  // no narrower: order them
    kept.swap(next);
  }
  std::nth_element(kept.begin(), kept.begin() + static_cast<long>(k), kept.end());
  return kept[k];
}

}  // namespace

bool ramp_floor_too_high(const cplx* x, size_t n, size_t k, double level) {
  k = std::min(k, n / 2);
  if (k == 0) return false;
  double head = 0, tail = 0;
  for (size_t i = 0; i < k; ++i) {
    head += std::norm(x[i]);
    tail += std::norm(x[n - 1 - i]);
  }
  return std::min(head, tail) / static_cast<double>(k) > level * std::pow(10.0, -kRampFloorDb / 10);
}

RampTimes measure_ramps(const cplx* x, size_t n, double sample_rate) {
  RampTimes r;
  const size_t w = std::max<size_t>(1, static_cast<size_t>(std::lround(sample_rate / 11e6)));
  if (n < 8 * w) return r;
  // Buffers each thread keeps from burst to burst (reached through one
  // reference: in a shared library each use of a thread-local variable
  // itself may look its address up again).
  struct Buffers {
    std::vector<double> p, kept, next;
    std::vector<uint32_t> bins;
  };
  thread_local Buffers buffers;
  Buffers& b = buffers;
  std::vector<double>&p = b.p, &kept = b.kept;
  // Power averaged over one chip (running mean).
  p.resize(n - w + 1);
  double acc = 0;
  for (size_t i = 0; i < w; ++i) acc += std::norm(x[i]);
  p[0] = acc / w;
  double peak = p[0];
  for (size_t i = 1; i < p.size(); ++i) {
    acc += std::norm(x[i + w - 1]) - std::norm(x[i - 1]);
    p[i] = std::max(0.0, acc / w);
    peak = std::max(peak, p[i]);
  }
  // The burst's own power: the median of the samples above a tenth of the peak.
  kept.resize(p.size());
  size_t high = 0;
  for (double v : p)
    if (v > 0.1 * peak) kept[high++] = v;
  kept.resize(high);
  if (kept.empty()) return r;
  const double ref = kth_smallest(kept, kept.size() / 2, 0.1 * peak, peak, b.bins, b.next);
  if (ramp_floor_too_high(x, n, static_cast<size_t>(std::lround(2e-6 * sample_rate)), ref)) {
    r.noisy = true;
    return r;
  }
  size_t on10 = 0, on90 = 0, off90 = p.size() - 1, off10 = p.size() - 1;
  while (on10 < p.size() && p[on10] < 0.1 * ref) ++on10;
  on90 = on10;
  while (on90 < p.size() && p[on90] < 0.9 * ref) ++on90;
  while (off10 > 0 && p[off10] < 0.1 * ref) --off10;
  off90 = off10;
  while (off90 > 0 && p[off90] < 0.9 * ref) --off90;
  if (on90 >= p.size() || off90 <= on10) return r;
  r.evaluated = true;
  r.onSeconds = static_cast<double>(on90 - on10) / sample_rate;
  r.offSeconds = static_cast<double>(off10 - off90) / sample_rate;
  return r;
}

}  // namespace tarvio::verify
