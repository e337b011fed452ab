// The default records that every start and every File New begin from. The
// fields that the generators derive from the others (the filter taps, the
// projected length) and the per-process packet file name are left empty here;
// InitializeParameters fills them in.
#pragma once

#include "records/records.h"

namespace tarvio {

Parameters DefaultParameters();
SigGenSettings DefaultSigGenSettings();
Configuration DefaultConfiguration();
AppInfo DefaultAppInfo();

}  // namespace tarvio
