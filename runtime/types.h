// Plain typed containers the signal processing works on: bit rows, real and
// complex sample rows and the two marker rows of a waveform. Nothing per
// sample goes through the dynamic Value; these are what the DSP passes around.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace tarvio {

using cplx = std::complex<double>;
using Bits = std::vector<uint8_t>;  // 0/1 values, first element first in time
using RVec = std::vector<double>;   // real row
using CVec = std::vector<cplx>;     // complex sample row (I = real, Q = imag)

// The two marker rows that travel with a waveform, one column per sample.
struct Markers {
  std::vector<uint8_t> row1;
  std::vector<uint8_t> row2;
  size_t size() const { return row1.size(); }
};

// A frame generator's result: the sample row and its marker rows.
struct Frame {
  CVec waveform;
  Markers markers;
};

// Rounding half away from zero, the rule for every count and sample value.
inline double round_half_away(double x) { return x < 0 ? -std::floor(-x + 0.5) : std::floor(x + 0.5); }

}  // namespace tarvio
