// Filter selection: builds the baseband tap row from the filter type,
// length in symbols, factor and oversampling.
#include "dsp/filter_design.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "dsp/filter_taps.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {

RVec GenFilterCoeffs(double filterType, double symbols, double filterFactor, double oversamplingRate,
                     const RVec& userCoeffs) {
  const double taps = oversamplingRate * symbols;
  if (filterType == 0) {
    RVec h(symmetric_tap_count(taps), 0.0);
    if (!h.empty()) h[0] = 1.0;
    return h;
  }
  if (filterType == 1) return Filter_gaussian(taps, filterFactor, oversamplingRate);
  if (filterType == 2) return Filter_RootCosine(taps, filterFactor, oversamplingRate);
  if (filterType == 3) return Filter_brick(taps, oversamplingRate);
  if (filterType == 4) return userCoeffs;
  throw std::invalid_argument("GenFilterCoeffs: filter type " + std::to_string(filterType) +
                              " is not one of 0 (none), 1 (Gaussian), 2 (root cosine), 3 (brick), 4 (user file).");
}

TARVIO_OP(
    "GenFilterCoeffs", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(GenFilterCoeffs(
          arg_required(in, 0, "GenFilterCoeffs").to_double(), arg_required(in, 1, "GenFilterCoeffs").to_double(),
          arg_required(in, 2, "GenFilterCoeffs").to_double(), arg_required(in, 3, "GenFilterCoeffs").to_double(),
          state().parameters.filterCoeffs))};
    },
    "coeffs = GenFilterCoeffs(filterType, symbols, filterFactor, oversamplingRate): baseband filter taps");

}  // namespace tarvio
