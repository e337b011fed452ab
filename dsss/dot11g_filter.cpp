// Circular baseband filtering with mean removal for the ERP-PBCC generator,
// and its registered form reading the program-wide filter taps.
#include "dsss/dot11g_filter.h"

#include <stdexcept>

#include "dsss/dsss_burst.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {

CVec Dot11g_filter(double filterType, double /*filterTaps*/, double /*filterFactor*/, double /*oversamplingRate*/,
                   const CVec& samples, const RVec& filterCoeffs) {
  if (!(filterType >= 0))
    throw std::invalid_argument(
        "Dot11g_filter: filterType must be 0 or more (0 none, 1 Gaussian, 2 root raised "
        "cosine, 3 brick, 4 user taps).");
  if (filterCoeffs.empty()) throw std::invalid_argument("Dot11g_filter: the filter has no taps.");
  if (samples.empty()) return {};
  CVec y = dsss_upsample_filter(samples, 1, filterCoeffs);
  dsss_remove_mean(y);
  return y;
}

namespace {

TARVIO_OP(
    "Dot11g_filter", 5, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11g_filter";
      return {Value::complex_row(Dot11g_filter(arg_required(in, 0, op).to_double(), arg_double(in, 1, 0),
                                               arg_double(in, 2, 0), arg_double(in, 3, 1),
                                               arg_required(in, 4, op).to_complex(), state().parameters.filterCoeffs))};
    },
    "Dot11g_filter(filterType, filterTaps, filterFactor, oversamplingRate, samples): circular filtering with "
    "parameters.filterCoeffs, centred on the middle tap, mean removed");

}  // namespace

}  // namespace tarvio
