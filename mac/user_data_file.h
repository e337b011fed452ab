// Reading a user data file as payload bits.
#pragma once

#include <string>

#include "runtime/types.h"

namespace tarvio {

struct UserDataFile {
  double status = -1;  // 1 read, -1 could not be opened
  Bits bits;           // empty unless status is 1
};

// Reads the file at `path` as bits: each byte most significant bit first
// (bitorder "left-msb") or, when bitorder starts with "right", least
// significant first; bytes in file order. A file longer than
// maxLengthInBits/8 bytes is read only to that many bits. A file that cannot
// be opened is reported in a "File Error" dialog ("Could not open" and the
// full path) and gives status -1.
UserDataFile LoadUserDataFile(const std::string& path, double maxLengthInBits = 0,
                              const std::string& bitorder = "right-msb");

}  // namespace tarvio
