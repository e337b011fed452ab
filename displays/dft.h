// Forward discrete Fourier transforms for the displays, through FFTW.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// A forward transform of one size (X(k) = sum x(n) e^(-2 pi i k n / N)),
// planned once and run as often as wanted, in place on its own aligned
// buffer. The buffer starts uninitialised, so filling it is the only pass
// that touches its memory before the first transform: a transform of a
// whole long waveform costs no extra sweep over a gigabyte. `threads` > 1
// spreads each run over that many threads.
class Dft {
 public:
  // Throws std::runtime_error when n is more than FFTW takes at once, the
  // memory cannot be had or FFTW cannot plan the size.
  explicit Dft(size_t n, size_t threads = 1);
  ~Dft();
  Dft(const Dft&) = delete;
  Dft& operator=(const Dft&) = delete;
  cplx* data() { return buf_; }
  const cplx* data() const { return buf_; }
  size_t size() const { return n_; }
  void run();  // transforms data() in place

 private:
  cplx* buf_ = nullptr;
  size_t n_ = 0;
  void* plan_ = nullptr;
};

}  // namespace tarvio
