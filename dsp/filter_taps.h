// Tap-count rule shared by the filter designs: at most kMaxFilterTaps taps;
// the symmetric designs run their time grid from -(n-1)/2 to (n-1)/2 in unit
// steps, which has floor(n-1)+1 points.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace tarvio {

// The most taps a design makes (FilterTaps x OverSampling).
inline constexpr double kMaxFilterTaps = 1e9;

// Throws std::invalid_argument naming the length and the usable range when
// no filter of `numCoeff` taps can be designed.
inline void check_tap_count(double numCoeff) {
  if (std::isfinite(numCoeff) && numCoeff <= kMaxFilterTaps) return;
  char text[160];
  std::snprintf(text, sizeof text, "a filter of %.10g taps cannot be designed; the usable range is 0 to %.10g taps",
                numCoeff, kMaxFilterTaps);
  throw std::invalid_argument(text);
}

inline size_t symmetric_tap_count(double numCoeff) {
  check_tap_count(numCoeff);
  if (numCoeff < 1) return 0;
  return static_cast<size_t>(std::floor(numCoeff - 1.0 + 1e-9)) + 1;
}

}  // namespace tarvio
