// Clipping and the Rapp power amplifier, sample by sample.
#include "dsp/power_amplifier.h"

#include <cmath>

namespace tarvio {

void clip_magnitude(cplx* x, size_t n, double limit) {
  const double limit2 = limit * limit;
  for (size_t i = 0; i < n; ++i) {
    const double r2 = std::norm(x[i]);
    if (r2 > limit2) x[i] *= limit / std::sqrt(r2);
  }
}

void rapp_pa(cplx* x, size_t n, double saturation, double smoothness, double ampm_deg) {
  const double inv_a2 = 1 / (saturation * saturation);
  const double ampm = ampm_deg * 3.14159265358979323846 / 180;
  for (size_t i = 0; i < n; ++i) {
    const double u2 = std::norm(x[i]) * inv_a2;  // (r/A)^2
    if (u2 == 0) continue;
    // |y|/r = (1 + u^(2p))^(-1/(2p))
    const double gain = std::pow(1 + std::pow(u2, smoothness), -0.5 / smoothness);
    if (ampm == 0) {
      x[i] *= gain;
    } else {
      const double phi = ampm * 2 * u2 / (1 + u2);
      x[i] *= std::polar(gain, phi);
    }
  }
}

}  // namespace tarvio
