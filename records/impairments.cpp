// Whether an Impairments record switches anything on.
#include "records/impairments.h"

#include <cmath>

namespace tarvio {

bool any_impairment(const Impairments& m) {
  bool dc = false;
  for (double d : m.DCOffset) dc = dc || std::isfinite(d);
  return std::isfinite(m.SNR) || m.CFO != 0 || m.PhaseOffset != 0 || m.ClockPpm != 0 || m.IQGain != 0 ||
         m.IQPhase != 0 || m.IQSkew != 0 || dc || !m.PhaseNoise.empty() || std::isfinite(m.PA.Saturation) ||
         std::isfinite(m.ClipPAPR);
}

}  // namespace tarvio
