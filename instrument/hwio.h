// The library side of the instrument transport module `hwIO`: the module is
// a separate shared library loaded by name on first use; call() passes the
// operation code and its arguments and returns the module's results.
#pragma once

#include <string>
#include <vector>

#include "runtime/value.h"

namespace tarvio::hwio {

// Codes as documented in docs/ (1 ping, 2 send, 3 query, 5 local, 9 and 20
// waveform transfer, 10 empty the packet file, 11 append a packet).
// Throws std::runtime_error when the module cannot be loaded.
std::vector<Value> call(int code, const std::vector<Value>& args);

}  // namespace tarvio::hwio
