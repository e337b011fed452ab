// Idle-interval entry rule of the OFDM formats and its registered operation.
#include "ofdm/dot11a_idle_interval.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "records/state.h"
#include "runtime/number_text.h"
#include "runtime/registry.h"

namespace tarvio {

std::string Dot11a_txtIdleInterval(const std::string& entry, Parameters& p) {
  if (!(p.OverSampling > 0))
    throw std::invalid_argument("Dot11a_txtIdleInterval: OverSampling must be positive, got " +
                                std::to_string(p.OverSampling));
  const double time = std::clamp(parse_entry_number(entry).value_or(0.0), 0.0, 100000.0);
  p.idleSamples = round_half_away(time * 20.0 * p.OverSampling);
  return Num2Str(p.idleSamples / (20.0 * p.OverSampling));
}

TARVIO_OP(
    "Dot11a_txtIdleInterval", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const std::string text = arg_text(in, 0, "");
      return {Value::text(Dot11a_txtIdleInterval(text, state().parameters))};
    },
    "text = Dot11a_txtIdleInterval(entryText): sets parameters.idleSamples from an idle time in us and returns "
    "the time actually used");

}  // namespace tarvio
