// A forward DFT of one fixed size (or a set of them), planned once (FFTW)
// on buffers of its own: the receivers keep one per size for the life of a verification and
// fill its input, run it and read its output, which lets FFTW use its
// aligned, out-of-place algorithms. Create them on one thread; each object
// is then used by one thread at a time.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio::verify {

class Fft {
 public:
  // With `interleaved` > 1 the input holds that many rows interleaved
  // (row r at in(r + interleaved * m), m < n) and the output their DFTs one
  // after the other (row r at out(r * n + k)).
  explicit Fft(size_t n, size_t interleaved = 1);
  ~Fft();
  Fft(const Fft&) = delete;
  Fft& operator=(const Fft&) = delete;
  size_t size() const { return n_; }
  size_t rows() const { return rows_; }
  cplx* in() { return in_; }
  const cplx* out() const { return out_; }
  // out(k) becomes the sum over n of in(n) e^(-j 2 pi k n / N); in() is
  // left undefined, so fill all of it before each run.
  void run();

 private:
  size_t n_, rows_;
  cplx* in_ = nullptr;
  cplx* out_ = nullptr;
  void* plan_ = nullptr;
};

}  // namespace tarvio::verify
