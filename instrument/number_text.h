// The number-to-text rule of instrument commands: integers in full, other
// values in %g form with min(12, max(1, ceil(log10|x|) + 4)) significant
// digits, leading blanks removed.
#pragma once

#include <string>

namespace tarvio {

std::string command_number(double x);

}  // namespace tarvio
