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
  cplx acc = 0, prev = 0;
  for (size_t k = 0; k < n; ++k) {
    const cplx u = s[k] * std::conj(d[k]);
    if (k > 0) acc += u * std::conj(prev);
    prev = u;
  }
  return acc == cplx(0) || !(period > 0) ? 0 : std::arg(acc) / (2 * std::numbers::pi * period);
}

}  // namespace tarvio::verify
