// A forward DFT of one fixed size, planned once (FFTW) on buffers of its
// own: the receivers keep one per size for the life of a verification and
// fill its input, run it and read its output, which lets FFTW use its
// aligned, out-of-place algorithms. Create them on one thread; each object
// is then used by one thread at a time.
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
  cplx* in() { return in_; }
  const cplx* out() const { return out_; }
  // out(k) becomes the sum over n of in(n) e^(-j 2 pi k n / N); in() is
  // left undefined, so fill all of it before each run.
  void run();

 private:
  size_t n_;
  cplx* in_ = nullptr;
  cplx* out_ = nullptr;
  void* plan_ = nullptr;
};

}  // namespace tarvio::verify
