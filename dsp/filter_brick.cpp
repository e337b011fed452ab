// Windowed-sinc ("brick") low-pass taps. The sinc is evaluated at pi*t and
// both the sinc and the Hamming-type window are centred half a tap before
// the middle of the row; existing waveforms depend on this exact shape.
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "dsp/filter_design.h"
#include "dsp/filter_taps.h"
#include "dsp/resample.h"
#include "runtime/registry.h"

namespace tarvio {

RVec Filter_brick(double numCoeff, double overSampleRatio) {
  if (!(overSampleRatio > 0)) throw std::invalid_argument("Filter_brick: the oversampling ratio must be positive.");
  check_tap_count(numCoeff);
  constexpr double pi = std::numbers::pi;
  const size_t n = numCoeff >= 1 ? static_cast<size_t>(std::floor(numCoeff)) : 0;
  RVec h(n);
  for (size_t i = 0; i < n; ++i) {
    const double u = static_cast<double>(i + 1) - numCoeff / 2.0 + 0.5;
    h[i] = Sinc(pi * u / overSampleRatio) * (0.54 + 0.46 * std::cos(2.0 * pi * u / numCoeff));
  }
  return h;
}

TARVIO_OP(
    "Filter_brick", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(Filter_brick(arg_required(in, 0, "Filter_brick").to_double(),
                                      arg_required(in, 1, "Filter_brick").to_double()))};
    },
    "h = Filter_brick(numCoeff, overSampleRatio): windowed-sinc low-pass taps");

}  // namespace tarvio
