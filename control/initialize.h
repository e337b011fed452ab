// The four initialisers that build the default records.
#pragma once

#include "control/records.h"

namespace tarvio {

void InitializeParameters();
void InitializeSigGenSettings();
void InitializeConfiguration();
// The connection record InitializeConfiguration installs.
Configuration DefaultConfiguration();
void InitializeAppInfo();
// All four, in the order of the unattended start; used by hosts and tests.
void InitializeAll();

}  // namespace tarvio
