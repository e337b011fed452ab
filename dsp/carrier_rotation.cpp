// The continuous-carrier rotation of a packet.
#include "dsp/carrier_rotation.h"

#include <cmath>

#include "dsp/counter_noise.h"

namespace tarvio {

namespace {

double frac(double x) { return x - std::floor(x); }

}  // namespace

double carrier_cycles(double cycles_per_sample, double phase_deg, uint64_t n) {
  // n = hi 2^20 + lo keeps each product small, so its fraction keeps its
  // precision however far into the waveform n lies.
  const double hi = static_cast<double>(n >> 20), lo = static_cast<double>(n & 0xFFFFF);
  const double step_hi = frac(cycles_per_sample * 1048576.0);
  return frac(frac(step_hi * hi) + frac(cycles_per_sample * lo) + frac(phase_deg / 360));
}

CarrierRotation::CarrierRotation(double cycles_per_sample, double phase_deg)
    : step_(cycles_per_sample), phase_deg_(phase_deg) {
  for (size_t m = 0; m < kBlock; ++m)
    portable_sincos_2pi(carrier_cycles(step_, 0, m), table_[2 * m + 1], table_[2 * m]);
}

namespace {

// y[m] = x[m] (c0 + j s0) t[m] for m < len, interleaved re/im; x and y are
// the same row or do not overlap. Plain real arithmetic: the products of
// finite samples are those of std::complex, without its checks for
// infinities, so that the loop vectorises.
template <bool InPlace>
void turn_block(const double* x, double* __restrict y, const double* __restrict t, size_t len, double c0,
                double s0) {
  const double* xr = InPlace ? y : x;  // based on y when in place
  for (size_t m = 0; m < len; ++m) {
    const double rc = c0 * t[2 * m] - s0 * t[2 * m + 1];
    const double rs = c0 * t[2 * m + 1] + s0 * t[2 * m];
    const double a = xr[2 * m], b = xr[2 * m + 1];
    y[2 * m] = a * rc - b * rs;
    y[2 * m + 1] = a * rs + b * rc;
  }
}

}  // namespace

void CarrierRotation::apply(const cplx* in, cplx* out, size_t n, uint64_t first) const {
  for (size_t b = 0; b < n; b += kBlock) {
    double s0 = 0, c0 = 0;
    portable_sincos_2pi(carrier_cycles(step_, phase_deg_, first + b), s0, c0);
    const size_t len = b + kBlock < n ? kBlock : n - b;
    const double* x = reinterpret_cast<const double*>(in + b);
    double* y = reinterpret_cast<double*>(out + b);
    if (in == out)
      turn_block<true>(x, y, table_.data(), len, c0, s0);
    else
      turn_block<false>(x, y, table_.data(), len, c0, s0);
  }
}

void rotate_carrier(cplx* x, size_t n, double cycles_per_sample, double phase_deg, uint64_t first) {
  CarrierRotation(cycles_per_sample, phase_deg).apply(x, x, n, first);
}

}  // namespace tarvio
