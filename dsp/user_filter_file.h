// Reading the user's own baseband filter taps from a text file.
#pragma once

#include <string>

#include "runtime/types.h"

namespace tarvio {

struct UserFilterFile {
  double status = -1;     // 1 read, -1 refused or not opened
  RVec coeff;             // the taps (at most 1000), empty unless status is 1
  double FilterTaps = 0;  // number of numbers / oversampling, set when status is 1
};

// Reads all numbers of the text file at `path` (separated by any white
// space). The count must be a non-zero multiple of overSampling; the first
// 1000 numbers become the taps. Failures are shown as "File Error" (cannot
// open) or "File Format Error" (no numbers; count not a multiple) dialogs.
UserFilterFile LoadUserFilterFile(const std::string& path, double overSampling);

}  // namespace tarvio
