// The ramp-time entry rule.
#include "control/ramp_time_entry.h"

#include <algorithm>
#include <stdexcept>

#include "runtime/number_text.h"
#include "runtime/types.h"

namespace tarvio {

std::string txtRampTime(const std::string& entry, Parameters& p) {
  if (!(p.OverSampling > 0))
    throw std::invalid_argument("The oversampling must be positive to convert the ramp time, not " +
                                Num2Str(p.OverSampling) + ".");
  const double usec = std::clamp(parse_entry_number(entry).value_or(0.0), 0.0, 1000.0);
  const double perUsec = 11 * p.OverSampling;  // samples per microsecond at the chip clock
  p.rampLength = round_half_away(usec * perUsec);
  return Num2Str(p.rampLength / perUsec);
}

}  // namespace tarvio
