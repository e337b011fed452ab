// The four initialisers that build the default records.
#pragma once

namespace tarvio {

void InitializeParameters();
void InitializeSigGenSettings();
void InitializeConfiguration();
void InitializeAppInfo();
// All four, in the order of the unattended start; used by hosts and tests.
void InitializeAll();

}  // namespace tarvio
