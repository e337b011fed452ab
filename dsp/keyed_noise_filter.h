// Filtered noise from a counter-based stream (dsp/counter_noise.h), made
// piece by piece: the output at absolute sample n is
//   y[n] = sum_{j=0}^{M-1} h[j] g[n - j],
// g the stream's complex Gaussian samples, so a packet's piece [n0, n0 + L)
// joins its neighbours without a seam and can be made on any thread. The
// convolution runs overlap-save with FFT blocks of N = 2^k >= 2M points
// (cost per sample independent of M); the filter's spectrum is computed once
// and shared read-only by every thread. The blocks start at the piece's own
// first sample, so a piece is the same on every thread and in any order; the
// FFTs may round differently on processors with other vector units, so the
// filtered noise agrees between machines to rounding (about 1e-15), while
// the white stream itself agrees to the bit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/counter_noise.h"
#include "runtime/types.h"

namespace tarvio {

class KeyedNoiseFilter {
 public:
  // h: the M real taps (M >= 1).
  KeyedNoiseFilter(const RVec& h, CounterNoise noise);
  size_t taps() const { return taps_; }
  // out[m] = y[first + m], m = 0 .. count-1. Scratch buffers are kept per
  // thread and reused.
  void generate(uint64_t first, size_t count, cplx* out) const;

 private:
  size_t taps_ = 0;
  size_t fft_size_ = 0;
  CVec spectrum_;  // DFT of h zero-padded to fft_size_, scaled by 1/fft_size_
  CounterNoise noise_;
};

// The M taps whose DFT is the real, even response H[k] (k = 0 .. M-1, H[k]
// = H[M-k]), shifted to be centred in the span: h[j] = IDFT(H)[(j + M/2) mod M].
RVec centred_taps(const RVec& response);

}  // namespace tarvio
