// Lag-correlation and decision-aided carrier offset estimates.
#include "verify/cfo_estimate.h"

#include <cmath>
#include <numbers>

namespace tarvio::verify {

namespace {

cplx lag_sum(const cplx* x, size_t n, size_t lag) {
  cplx acc = 0;
  for (size_t k = 0; k + lag < n; ++k) acc += std::conj(x[k]) * x[k + lag];
  return acc;
}

}  // namespace

double EstimateCfo(const cplx* x, size_t n, size_t lag, double fs) {
  if (lag == 0 || n <= lag) return 0;
  const cplx acc = lag_sum(x, n, lag);
  return acc == cplx(0) ? 0 : std::arg(acc) * fs / (2 * std::numbers::pi * static_cast<double>(lag));
}

double RefineCfo(const cplx* x, size_t n, size_t lag, double fs, double coarse) {
  if (lag == 0 || n <= lag) return coarse;
  const double L = static_cast<double>(lag);
  const cplx acc = lag_sum(x, n, lag) * std::polar(1.0, -2 * std::numbers::pi * coarse * L / fs);
  return acc == cplx(0) ? coarse : coarse + std::arg(acc) * fs / (2 * std::numbers::pi * L);
}

double EstimateCfoDecided(const cplx* s, const cplx* d, size_t n, double period) {
  if (n < 2 || !(period > 0)) return 0;
  cplx prev = 0;
  double phase = 0, sk = 0, sp = 0, skk = 0, skp = 0;
  for (size_t k = 0; k < n; ++k) {
    const cplx u = s[k] * std::conj(d[k]);
    phase = k == 0 ? std::arg(u) : phase + std::arg(u * std::conj(prev));
    prev = u;
    const double kk = static_cast<double>(k);
    sk += kk;
    sp += phase;
    skk += kk * kk;
    skp += kk * phase;
  }
  const double nn = static_cast<double>(n), det = nn * skk - sk * sk;
  return det > 0 ? (nn * skp - sk * sp) / det / (2 * std::numbers::pi * period) : 0;
}

}  // namespace tarvio::verify
