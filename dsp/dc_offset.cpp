// The DC offset of I and Q.
#include "dsp/dc_offset.h"

#include <cmath>

namespace tarvio {

void dc_offset(cplx* x, size_t n, double reference_rms, double i_dbc, double q_dbc) {
  const double di = std::isfinite(i_dbc) ? reference_rms * std::pow(10.0, i_dbc / 20) : 0;
  const double dq = std::isfinite(q_dbc) ? reference_rms * std::pow(10.0, q_dbc / 20) : 0;
  const cplx d(di, dq);
  for (size_t k = 0; k < n; ++k) x[k] += d;
}

}  // namespace tarvio
