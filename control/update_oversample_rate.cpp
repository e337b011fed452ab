// The oversampling entry: rounds and limits the entered ratio, rescales the
// sample counts that depend on it and updates the playback sample rate.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "control/param_set_ops.h"
#include "records/state.h"
#include "runtime/number_text.h"
#include "runtime/registry.h"

namespace tarvio {

void UpdateOversampleRate(Parameters& p, SigGenSettings& sg, double entry,
                          const std::optional<double>& dontSetSampleRate) {
  if (!std::isnan(entry)) {
    const double upper = p.format == 1 ? 5 : 9;
    const double os = std::max(2.0, std::min(upper, round_half_away(entry)));
    const double old = p.OverSampling;
    p.OverSampling = os;
    if (old > 0 && std::isfinite(old)) {
      const double ratio = os / old;
      p.idleSamples = round_half_away(p.idleSamples * ratio);
      p.rampLength = round_half_away(p.rampLength * ratio);
    }
  }
  SetSampleRate(p, sg, dontSetSampleRate);
}

void UpdateOversampleRate(Parameters& p, SigGenSettings& sg, const std::string& entry,
                          const std::optional<double>& dontSetSampleRate) {
  UpdateOversampleRate(p, sg, parse_entry_number(entry).value_or(std::nan("")), dontSetSampleRate);
}

void UpdateOversampleRate(const std::string& entry) {
  UpdateOversampleRate(state().parameters, state().sigGenSettings, entry, state().dontSetSampleRate);
}

TARVIO_OP(
    "UpdateOversampleRate", 1, 0,
    [](const Args& in, int) -> std::vector<Value> {
      const Value& v = arg_required(in, 0, "UpdateOversampleRate");
      if (v.is_text())
        UpdateOversampleRate(v.str());
      else
        UpdateOversampleRate(state().parameters, state().sigGenSettings, v.to_double(), state().dontSetSampleRate);
      return {};
    },
    "UpdateOversampleRate(entry): the oversampling entry (text or number), rounded and limited");

}  // namespace tarvio
