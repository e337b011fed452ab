// The idle-interval entry for the DSSS formats: microseconds to whole idle
// samples at 11 MHz times the oversampling, and the time actually used.
#include "dsss/dot11b_idle_interval.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "dsss/dsss_values.h"
#include "records/state.h"
#include "runtime/number_text.h"
#include "runtime/registry.h"

namespace tarvio {

std::string Dot11b_txtIdleInterval(const std::string& text, Parameters& parameters) {
  if (!(parameters.OverSampling > 0))
    throw std::invalid_argument("The oversampling must be positive to convert the idle interval, not " +
                                Num2Str(parameters.OverSampling) + ".");
  const double usec = std::clamp(parse_entry_number(text).value_or(0.0), 0.0, 100000.0);
  const double perUsec = 11 * parameters.OverSampling;  // samples per microsecond
  parameters.idleSamples = round_half_away(usec * perUsec);
  return Num2Str(parameters.idleSamples / perUsec);
}

// Without a window the entry's text is given as the first argument.
TARVIO_OP(
    "Dot11b_txtIdleInterval", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const std::string text = has_arg(in, 0) && in[0].is_text() ? in[0].str() : std::string();
      return {Value::text(Dot11b_txtIdleInterval(text, state().parameters))};
    },
    "text = Dot11b_txtIdleInterval(entryText): sets parameters.idleSamples from an idle time in us and returns "
    "the time actually used, as the entry shows it");

}  // namespace tarvio
