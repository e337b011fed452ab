// Marks the parameter set for unattended operation.
#include "control/param_set_ops.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {

void SetFaceless() { state().parameters.faceless = 1; }

TARVIO_OP(
    "SetFaceless", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      SetFaceless();
      return {};
    },
    "SetFaceless(): parameters.faceless = 1 (unattended operation)");

}  // namespace tarvio
