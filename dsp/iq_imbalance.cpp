// IQ gain/phase imbalance and IQ skew.
#include "dsp/iq_imbalance.h"

#include <cmath>

#include "dsp/band_limited_interpolator.h"

namespace tarvio {

void iq_imbalance(cplx* x, size_t n, double gain_db, double phase_deg) {
  const double a = std::pow(10.0, gain_db / 20);
  const double half = phase_deg * 3.14159265358979323846 / 360;
  const double gi = std::sqrt(a), gq = 1 / gi;
  const double c = std::cos(half), s = std::sin(half);
  for (size_t k = 0; k < n; ++k) {
    const double i = x[k].real(), q = x[k].imag();
    x[k] = cplx(gi * (i * c + q * s), gq * (q * c + i * s));
  }
}

void iq_skew(cplx* x, size_t n, double delay_samples, RVec& scratch) {
  scratch.resize(2 * n);
  double* q = scratch.data();
  double* out = q + n;
  for (size_t k = 0; k < n; ++k) q[k] = x[k].imag();
  BandLimitedInterpolator::instance().delay(q, n, delay_samples, out);
  for (size_t k = 0; k < n; ++k) x[k].imag(out[k]);
}

}  // namespace tarvio
