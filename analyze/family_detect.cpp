// Lag correlations that tell OFDM from DSSS.
#include "analyze/family_detect.h"

#include <algorithm>
#include <cmath>

namespace tarvio::analyze {

FamilyScore score_family(const cplx* x, size_t n, size_t from, double fs) {
  FamilyScore s;
  const size_t l16 = std::max<size_t>(1, static_cast<size_t>(std::lround(0.8e-6 * fs)));
  const size_t l11 = std::max<size_t>(1, static_cast<size_t>(std::lround(1e-6 * fs)));
  const size_t win = static_cast<size_t>(std::lround(3.2e-6 * fs));
  // Several window starts: the detected start may be early by the noise
  // before the burst or late by its ramp.
  for (double at_us : {0.0, 1.0, 2.0, 3.0, 4.0}) {
    const size_t a = from + static_cast<size_t>(std::lround(at_us * 1e-6 * fs));
    if (a + win + l11 > n) break;
    cplx c16 = 0, c11 = 0;
    double p0 = 0, p16 = 0, q11 = 0;
    for (size_t k = a; k < a + win; ++k) {
      c16 += x[k] * std::conj(x[k + l16]);
      p0 += std::norm(x[k]);
      p16 += std::norm(x[k + l16]);
      const cplx d = x[k] * std::conj(x[k + l11]);
      c11 += d * d;
      q11 += std::norm(d);
    }
    if (p0 > 0 && p16 > 0) s.ofdm = std::max(s.ofdm, std::abs(c16) / std::sqrt(p0 * p16));
    if (q11 > 0) s.dsss = std::max(s.dsss, std::abs(c11) / q11);
  }
  return s;
}

}  // namespace tarvio::analyze
