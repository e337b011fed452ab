// Tap-count rule shared by the symmetric filter designs: the time grid runs
// from -(n-1)/2 to (n-1)/2 in unit steps, which has floor(n-1)+1 points.
#pragma once

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace tarvio {

inline size_t symmetric_tap_count(double numCoeff) {
  if (!std::isfinite(numCoeff) || numCoeff > 1e9)
    throw std::invalid_argument("filter length " + std::to_string(numCoeff) + " is not a usable number of taps.");
  if (numCoeff < 1) return 0;
  return static_cast<size_t>(std::floor(numCoeff - 1.0 + 1e-9)) + 1;
}

}  // namespace tarvio
