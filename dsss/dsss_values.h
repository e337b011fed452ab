// Small conversions shared by the DSSS operations: whole-number checks and LSB-first bit rows of integers.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "runtime/number_text.h"
#include "runtime/types.h"

namespace tarvio {

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
