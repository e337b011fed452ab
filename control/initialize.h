// The four initialisers that build the default records.
#pragma once

#include "records/records.h"

namespace tarvio {

void InitializeParameters();
void InitializeSigGenSettings();
void InitializeConfiguration();
void InitializeAppInfo();
// All four, in the order of the unattended start; used by hosts and tests.
void InitializeAll();

}  // namespace tarvio
