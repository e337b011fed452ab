// SNR from a repeated field and from decided symbols.
#include "verify/snr_estimate.h"

#include <cmath>
#include <limits>

namespace tarvio::verify {

namespace {

double to_db(double signal, double noise) {
  if (!(signal > 0)) return -std::numeric_limits<double>::infinity();
  if (!(noise > 0)) return std::numeric_limits<double>::infinity();
  return 10 * std::log10(signal / noise);
}

}  // namespace

double EstimateSnrRepeated(const cplx* y1, const cplx* y2, size_t n) {
  if (n == 0) return std::numeric_limits<double>::quiet_NaN();
  double sum = 0, diff = 0;
  for (size_t k = 0; k < n; ++k) {
    sum += std::norm(y1[k] + y2[k]) / 4;
    diff += std::norm(y1[k] - y2[k]);
  }
  const double sigma2 = diff / (2 * static_cast<double>(n));
  const double signal = sum / static_cast<double>(n) - sigma2 / 2;
  return to_db(signal, sigma2);
}

double EstimateSnrDecided(const cplx* s, const cplx* d, size_t n) {
  if (n < 2) return std::numeric_limits<double>::quiet_NaN();
  cplx m = 0;
  for (size_t k = 0; k < n; ++k) m += s[k] * std::conj(d[k]);
  m /= static_cast<double>(n);
  double noise = 0;
  for (size_t k = 0; k < n; ++k) noise += std::norm(s[k] * std::conj(d[k]) - m);
  noise /= static_cast<double>(n - 1);
  return to_db(std::norm(m), noise);
}

}  // namespace tarvio::verify
