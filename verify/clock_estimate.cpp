// Weighted least-squares drift of timing offsets, as a clock error in ppm.
#include "verify/clock_estimate.h"

#include <cmath>
#include <limits>

namespace tarvio::verify {

double EstimateClockError(const double* t, const double* tau, const double* w, size_t n) {
  double sw = 0, st = 0, sy = 0;
  for (size_t i = 0; i < n; ++i) {
    const double wi = w ? w[i] : 1.0;
    sw += wi;
    st += wi * t[i];
    sy += wi * tau[i];
  }
  if (!(sw > 0)) return std::numeric_limits<double>::quiet_NaN();
  const double tb = st / sw, yb = sy / sw;
  double stt = 0, sty = 0;
  for (size_t i = 0; i < n; ++i) {
    const double wi = w ? w[i] : 1.0;
    stt += wi * (t[i] - tb) * (t[i] - tb);
    sty += wi * (t[i] - tb) * (tau[i] - yb);
  }
  if (!(stt > 0)) return std::numeric_limits<double>::quiet_NaN();
  return -sty / stt * 1e6;
}

}  // namespace tarvio::verify
