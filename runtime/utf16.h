// Text is UTF-8 in a Value and UTF-16 code units in a MAT char array: the
// conversion both ways. Bytes that are not UTF-8 are kept as Latin-1
// characters; characters outside the 16-bit range become surrogate pairs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvio {

std::vector<uint16_t> utf8_to_utf16(const std::string& s);
std::string utf16_to_utf8(const std::vector<uint16_t>& units);

}  // namespace tarvio
