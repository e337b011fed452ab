// Windowed-sinc resampling of a captured burst.
#include "analyze/capture_resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarvio::analyze {

namespace {

double bessel_i0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 50; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
    if (term < 1e-17 * sum) break;
  }
  return sum;
}

}  // namespace

CaptureResampler::CaptureResampler(double rate_in, double rate_out)
    : in_(rate_in), out_(rate_out), step_(rate_in / rate_out) {
  if (identity()) return;
  // s: the cutoff relative to the input's Nyquist frequency.
  const double s = std::min(1.0, rate_out / rate_in);
  half_ = static_cast<int>(std::ceil(16 / s));
  const int taps = 2 * half_;
  const double beta = 8.6, i0b = bessel_i0(beta);
  // Long kernels (a high capture rate) take fewer positions, so that the
  // table stays within a few megabytes.
  phases_ = taps <= 64 ? 4096 : 1024;
  table_.assign(static_cast<size_t>(phases_ + 1) * taps, 0);
  for (int p = 0; p <= phases_; ++p) {
    const double mu = static_cast<double>(p) / phases_;
    double* row = &table_[static_cast<size_t>(p) * taps];
    double sum = 0;
    for (int k = 0; k < taps; ++k) {
      const double d = k - half_ + 1 - mu;  // distance of tap k from the position, input samples
      const double u = s * d;
      const double sinc = std::abs(u) < 1e-12 ? 1 : std::sin(std::numbers::pi * u) / (std::numbers::pi * u);
      const double r = d / half_;
      const double w = std::abs(r) < 1 ? bessel_i0(beta * std::sqrt(1 - r * r)) / i0b : 0;
      row[k] = sinc * w;
      sum += row[k];
    }
    for (int k = 0; k < taps; ++k) row[k] /= sum;
  }
}

void CaptureResampler::run(const CVec& x, CVec& out) const {
  if (identity()) {
    out = x;
    return;
  }
  const size_t n = x.size();
  const size_t m = static_cast<size_t>(std::floor(static_cast<double>(n) / step_));
  out.resize(m);
  const int taps = 2 * half_;
  for (size_t j = 0; j < m; ++j) {
    const double t = static_cast<double>(j) * step_;
    const double fl = std::floor(t);
    const long i = static_cast<long>(fl);
    const int p = static_cast<int>(std::lround((t - fl) * phases_));
    const double* row = &table_[static_cast<size_t>(p) * taps];
    const long first = i - half_ + 1;
    cplx acc = 0;
    if (first >= 0 && first + taps <= static_cast<long>(n)) {
      const cplx* xs = x.data() + first;
      double re = 0, im = 0;
      for (int k = 0; k < taps; ++k) {
        re += row[k] * xs[k].real();
        im += row[k] * xs[k].imag();
      }
      acc = cplx(re, im);
    } else {
      for (int k = 0; k < taps; ++k) {
        const long at = first + k;
        if (at >= 0 && at < static_cast<long>(n)) acc += row[k] * x[static_cast<size_t>(at)];
      }
    }
    out[j] = acc;
  }
}

void shift_frequency(CVec& x, double offset_hz, double rate, size_t first) {
  if (offset_hz == 0) return;
  const double w = -2 * std::numbers::pi * offset_hz / rate;
  // The phase of the capture's own sample, so that bursts read apart keep
  // one continuous carrier; recomputed every 1024 samples against drift.
  for (size_t k = 0; k < x.size(); k += 1024) {
    const double start = std::fmod(w * static_cast<double>(first + k), 2 * std::numbers::pi);
    const cplx step = std::polar(1.0, w);
    cplx r = std::polar(1.0, start);
    const size_t end = std::min(x.size(), k + 1024);
    for (size_t i = k; i < end; ++i) {
      x[i] *= r;
      r *= step;
    }
  }
}

double receiver_rate(bool ofdm, double rate) {
  if (!ofdm) return std::clamp(rate, 11e6, 44e6);
  const double k = std::floor(rate / 20e6 + 1e-9);
  return 20e6 * std::clamp(k, 1.0, 4.0);
}

}  // namespace tarvio::analyze
