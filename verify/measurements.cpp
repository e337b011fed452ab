// EVM in dB, the spectrum masks and the DSSS ramp times.
#include "verify/measurements.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarvio::verify {

double EvmSum::db() const {
  const double r = ratio();
  return r > 0 ? 20 * std::log10(r) : -std::numeric_limits<double>::infinity();
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
size_t mask_fft_size(double fs) {
  size_t n = 64;
  while (static_cast<double>(n) < fs / 100e3) n *= 2;
  return n;
}
}  // namespace

SpectrumMask::SpectrumMask(double sample_rate, MaskKind kind)
    : fs_(sample_rate), kind_(kind), fft_(mask_fft_size(sample_rate)) {
  const size_t n = fft_.size();
  window_.resize(n);
  for (size_t i = 0; i < n; ++i) window_[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / n);
  psd_.resize(n);
  limit_.resize(n);
  for (size_t k = 0; k < n; ++k) {
    const double f = (k < n / 2 ? static_cast<double>(k) : static_cast<double>(k) - n) * fs_ / n;
    limit_[k] = mask_limit_db(kind_, f);
  }
  buf_.resize(n);
}

MaskResult SpectrumMask::check(const cplx* x, size_t n) {
  MaskResult r;
  const size_t N = fft_.size();
  std::fill(psd_.begin(), psd_.end(), 0.0);
  size_t segments = 0;
  // Segments cover the burst; a burst shorter than one segment is taken
  // once, padded with zeros.
  for (size_t first = 0; first < n || segments == 0; first += N) {
    if (n == 0) return r;
    const size_t m = std::min(N, n - std::min(n, first));
    if (m < N / 2 && segments > 0) break;
    for (size_t i = 0; i < N; ++i) buf_[i] = i < m ? x[first + i] * window_[i] : cplx(0);
    fft_.forward(buf_.data());
    for (size_t k = 0; k < N; ++k) psd_[k] += std::norm(buf_[k]);
    ++segments;
    if (first + N >= n) break;
  }
  const double peak = *std::max_element(psd_.begin(), psd_.end());
  if (!(peak > 0)) return r;
  r.evaluated = true;
  r.checkedToHz = fs_ / 2;
  for (size_t k = 0; k < N; ++k) {
    const double db = 10 * std::log10(std::max(psd_[k], peak * 1e-30) / peak);
    const double margin = limit_[k] - db;
    // Inside the flat part of the mask (0 dBr) nothing can exceed the peak.
    if (limit_[k] < 0 && margin < r.worstMarginDb) {
      r.worstMarginDb = margin;
      r.worstFreqHz = (k < N / 2 ? static_cast<double>(k) : static_cast<double>(k) - N) * fs_ / N;
    }
  }
  r.pass = !(r.worstMarginDb < 0);
  return r;
}

RampTimes measure_ramps(const cplx* x, size_t n, double sample_rate) {
  RampTimes r;
  const size_t w = std::max<size_t>(1, static_cast<size_t>(std::lround(sample_rate / 11e6)));
  if (n < 8 * w) return r;
  // Power averaged over one chip (running mean).
  std::vector<double> p(n - w + 1);
  double acc = 0;
  for (size_t i = 0; i < w; ++i) acc += std::norm(x[i]);
  p[0] = acc / w;
  for (size_t i = 1; i < p.size(); ++i) {
    acc += std::norm(x[i + w - 1]) - std::norm(x[i - 1]);
    p[i] = std::max(0.0, acc / w);
  }
  // The burst's own power: the median of the samples above a tenth of the peak.
  const double peak = *std::max_element(p.begin(), p.end());
  std::vector<double> high;
  for (double v : p)
    if (v > 0.1 * peak) high.push_back(v);
  if (high.empty()) return r;
  std::nth_element(high.begin(), high.begin() + high.size() / 2, high.end());
  const double ref = high[high.size() / 2];
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
