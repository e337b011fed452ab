// Brings an oversampled DSSS waveform to its chip or symbol rate: the value
// at any time t (in samples) of x[0..n), exact at whole t and interpolated
// with a Hann-windowed sinc of 16 taps between samples, so that 1.5 or 2.5
// samples per chip and the 2/3 clock of 33 Mbit/s bursts read alike.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "runtime/types.h"

namespace tarvio::verify {

class ChipSampler {
 public:
  ChipSampler(const cplx* x, size_t n);
  size_t size() const { return n_; }
  cplx at(double t) const {
    // Whole times inside the row, the common case at whole samples per
    // chip, read the sample.
    if (t >= 0 && t < static_cast<double>(n_)) {
      const size_t i = static_cast<size_t>(t);
      if (static_cast<double>(i) == t) return x_[i];
    }
    return between(t);
  }

 private:
  cplx between(double t) const;
  using Taps = std::array<double, 16>;
  static constexpr int kHalf = 8;         // taps on either side
  static constexpr int kFractions = 256;  // interpolation table resolution
  const cplx* x_;
  size_t n_;
  const Taps* table_;  // the taps of each fraction 0, 1/256, ... 1
};

}  // namespace tarvio::verify
