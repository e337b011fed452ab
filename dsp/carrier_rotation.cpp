// The continuous-carrier rotation of a packet.
#include "dsp/carrier_rotation.h"

#include <cmath>

#include "dsp/counter_noise.h"

namespace tarvio {

namespace {

constexpr size_t kBlock = 256;

double frac(double x) { return x - std::floor(x); }

}  // namespace

double carrier_cycles(double cycles_per_sample, double phase_deg, uint64_t n) {
  // n = hi 2^20 + lo keeps each product small, so its fraction keeps its
  // precision however far into the waveform n lies.
  const double hi = static_cast<double>(n >> 20), lo = static_cast<double>(n & 0xFFFFF);
  const double step_hi = frac(cycles_per_sample * 1048576.0);
  return frac(frac(step_hi * hi) + frac(cycles_per_sample * lo) + frac(phase_deg / 360));
}

void rotate_carrier(cplx* x, size_t n, double cycles_per_sample, double phase_deg, uint64_t first) {
  double s = 0, c = 0;
  portable_sincos_2pi(cycles_per_sample, s, c);
  const cplx step(c, s);
  for (size_t b = 0; b < n; b += kBlock) {
    portable_sincos_2pi(carrier_cycles(cycles_per_sample, phase_deg, first + b), s, c);
    cplx r(c, s);
    const size_t end = b + kBlock < n ? b + kBlock : n;
    for (size_t m = b; m < end; ++m) {
      x[m] *= r;
      r *= step;
    }
  }
}

}  // namespace tarvio
