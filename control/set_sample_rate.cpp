// The playback sample rate that follows from the format and oversampling.
#include "control/param_set_ops.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {

void SetSampleRate(const Parameters& p, SigGenSettings& sg, const std::optional<double>& dontSetSampleRate) {
  if (!dontSetSampleRate || *dontSetSampleRate != 0) return;
  sg.SamplingRate = (p.format == 1 ? 20000000.0 : 11000000.0) * p.OverSampling;
}

void SetSampleRate() { SetSampleRate(state().parameters, state().sigGenSettings, state().dontSetSampleRate); }

TARVIO_OP(
    "SetSampleRate", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      SetSampleRate();
      return {};
    },
    "SetSampleRate(): SigGenSettings.SamplingRate from format and OverSampling");

}  // namespace tarvio
