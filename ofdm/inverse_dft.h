// Inverse DFT of the OFDM symbols through FFTW, with one plan per transform
// size made on first use and reused for every later symbol of that size.
//   x(n) = (1/N) * sum_k X(k) * exp(+j*2*pi*k*n/N),  n, k = 0 .. N-1.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

// A complex buffer aligned for FFTW's SIMD code; every transform of this
// folder runs on such buffers so that a cached plan may be executed on them.
class DftBuffer {
 public:
  explicit DftBuffer(size_t n = 0);
  ~DftBuffer();
  DftBuffer(const DftBuffer&) = delete;
  DftBuffer& operator=(const DftBuffer&) = delete;
  DftBuffer(DftBuffer&& o) noexcept;
  DftBuffer& operator=(DftBuffer&& o) noexcept;

  size_t size() const { return n_; }
  cplx* data() { return p_; }
  const cplx* data() const { return p_; }
  cplx& operator[](size_t i) { return p_[i]; }
  const cplx& operator[](size_t i) const { return p_[i]; }

 private:
  size_t n_ = 0;
  cplx* p_ = nullptr;
};

// Scaled inverse DFT of `in` into `out`, both of `n` points (n >= 1). The
// plan for n is created once (FFTW_ESTIMATE, out of place) and kept for the
// life of the program.
void inverse_dft(const DftBuffer& in, DftBuffer& out);

}  // namespace tarvio
