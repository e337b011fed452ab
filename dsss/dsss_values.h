// Small conversions shared by the DSSS operations: numbers in error texts,
// whole-number checks and LSB-first bit rows of integers.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "runtime/types.h"

namespace tarvio {

// A number as it appears in messages: integers in full, others in %g form.
inline std::string dsss_num(double x) {
  char buf[64];
  if (std::isfinite(x) && x == std::floor(x) && std::fabs(x) < 1e15)
    std::snprintf(buf, sizeof buf, "%.0f", x);
  else
    std::snprintf(buf, sizeof buf, "%g", x);
  return buf;
}

inline bool dsss_is_whole(double x) { return std::isfinite(x) && x == std::floor(x); }

// Binary digits of value, least significant first, at least `width` digits.
inline Bits dsss_lsb_first(uint64_t value, size_t width) {
  Bits out;
  while (value != 0 || out.size() < width) {
    out.push_back(static_cast<uint8_t>(value & 1u));
    value >>= 1;
  }
  return out;
}

}  // namespace tarvio
