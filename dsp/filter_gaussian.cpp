// Gaussian pulse-shaping taps: a one-symbol rectangular pulse convolved with
// a Gaussian of bandwidth-time product bT, sampled at the oversampling rate.
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "dsp/filter_design.h"
#include "dsp/filter_taps.h"
#include "runtime/registry.h"

namespace tarvio {

RVec Filter_gaussian(double numCoeff, double bT, double oversamplingRate) {
  if (!(oversamplingRate > 0)) throw std::invalid_argument("Filter_gaussian: the oversampling rate must be positive.");
  if (!(bT > 0)) throw std::invalid_argument("Filter_gaussian: the bandwidth-time product must be positive.");
  const double T = 1.0;
  const double dt = 1.0 / oversamplingRate;
  const double sigma = std::sqrt(std::log(2.0)) / (2.0 * std::numbers::pi * bT);
  const double k = std::sqrt(2.0) / (4.0 * T * sigma);
  const double mid = (numCoeff - 1.0) / 2.0;
  const size_t n = symmetric_tap_count(numCoeff);
  RVec out(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = (-mid + static_cast<double>(i)) * dt;
    out[i] = std::erf(k * (T + 2.0 * t)) + std::erf(k * (T - 2.0 * t));
  }
  return out;
}

TARVIO_OP(
    "Filter_gaussian", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(Filter_gaussian(arg_required(in, 0, "Filter_gaussian").to_double(),
                                         arg_required(in, 1, "Filter_gaussian").to_double(),
                                         arg_required(in, 2, "Filter_gaussian").to_double()))};
    },
    "output = Filter_gaussian(numCoeff, bT, oversamplingRate): Gaussian pulse-shaping taps");

}  // namespace tarvio
