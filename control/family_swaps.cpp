// Oversampling and scaling are remembered per format family (OFDM against
// DSSS/ERP); these swap the remembered value in when the family changes.
#include "control/param_set_ops.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {

void SetOverSampling(Parameters& p) {
  if (p.format == 1) {
    p.OverSampling_b = p.OverSampling;
    p.OverSampling = p.OverSampling_a;
  } else {
    p.OverSampling_a = p.OverSampling;
    p.OverSampling = p.OverSampling_b;
  }
}

void SetOverSampling() { SetOverSampling(state().parameters); }

void SetScaling(Parameters& p, SigGenSettings& sg) {
  if (p.format == 1) {
    p.dot11bScaling = sg.Scaling;
    sg.Scaling = p.dot11aScaling;
  } else {
    p.dot11aScaling = sg.Scaling;
    sg.Scaling = p.dot11bScaling;
  }
}

void SetScaling() { SetScaling(state().parameters, state().sigGenSettings); }

TARVIO_OP(
    "SetOverSampling", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      SetOverSampling();
      return {};
    },
    "SetOverSampling(): swaps in the oversampling kept for the current format family");

TARVIO_OP(
    "SetScaling", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      SetScaling();
      return {};
    },
    "SetScaling(): swaps in the scaling kept for the current format family");

}  // namespace tarvio
