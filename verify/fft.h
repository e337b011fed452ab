// A forward DFT of one fixed size, planned once (FFTW) and run on any
// buffers: the receivers keep one per size for the life of a verification.
// Create them on one thread; running them from several threads is safe.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio::verify {

class Fft {
 public:
  explicit Fft(size_t n);
  ~Fft();
  Fft(const Fft&) = delete;
  Fft& operator=(const Fft&) = delete;
  size_t size() const { return n_; }
  // In place: x(k) becomes the sum over n of x(n) e^(-j 2 pi k n / N).
  void forward(cplx* x) const;

 private:
  size_t n_;
  void* plan_ = nullptr;
};

}  // namespace tarvio::verify
