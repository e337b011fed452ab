// The four initialisers that build the default records `parameters`,
// `SigGenSettings`, `configuration` and `appInfo`, and their registration as
// operations without inputs or outputs.
#include "control/initialize.h"

#include <string>

#include "dsp/filter_design.h"
#include "dsss/dot11g_size_est.h"
#include "instrument/packet_file.h"
#include "records/defaults.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {

void InitializeParameters() {
  Parameters& current = state().parameters;
  Parameters p = DefaultParameters();
  // The default filter type is a design, so the coefficients passed along
  // for a user filter are not used.
  p.filterCoeffs = GenFilterCoeffs(p.FilterType, p.FilterTaps, p.FilterFactor, p.OverSampling, current.filterCoeffs);
  p.ProjectedLength = Dot11g_SizeEst(p);
  p.multiFrame.tmpFileName = packet_file::own_path();
  current = std::move(p);
  // The impairments belong to the generation set-up: a new set starts with
  // all of them off.
  state().impairments = Impairments{};
}

void InitializeSigGenSettings() { state().sigGenSettings = DefaultSigGenSettings(); }

void InitializeConfiguration() { state().configuration = DefaultConfiguration(); }

void InitializeAppInfo() { state().appInfo = DefaultAppInfo(); }

void InitializeAll() {
  InitializeAppInfo();
  InitializeConfiguration();
  InitializeParameters();
  InitializeSigGenSettings();
  state().initialized = true;
}

TARVIO_OP(
    "InitializeParameters", 0, 0,
    [](const Args&, int) {
      InitializeParameters();
      return std::vector<Value>{};
    },
    "InitializeParameters(): sets `parameters` to the defaults");
TARVIO_OP(
    "InitializeSigGenSettings", 0, 0,
    [](const Args&, int) {
      InitializeSigGenSettings();
      return std::vector<Value>{};
    },
    "InitializeSigGenSettings(): sets `SigGenSettings` to the defaults");
TARVIO_OP(
    "InitializeConfiguration", 0, 0,
    [](const Args&, int) {
      InitializeConfiguration();
      return std::vector<Value>{};
    },
    "InitializeConfiguration(): sets `configuration` to the defaults");
TARVIO_OP(
    "InitializeAppInfo", 0, 0,
    [](const Args&, int) {
      InitializeAppInfo();
      return std::vector<Value>{};
    },
    "InitializeAppInfo(): sets `appInfo` to the defaults");

}  // namespace tarvio
