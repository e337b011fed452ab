// Forward discrete Fourier transforms for the displays, through FFTW.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// One transform of a whole waveform (X(k) = sum x(n) e^(-2 pi i k n / N)),
// in place on its own aligned buffer. The buffer starts uninitialised, so
// filling it is the only pass that touches its memory before the
// transform; the transform runs on every core (at most 8).
class LongDft {
 public:
  // Throws std::runtime_error when n is more than FFTW takes at once or the
  // memory cannot be had.
  explicit LongDft(size_t n);
  ~LongDft();
  LongDft(const LongDft&) = delete;
  LongDft& operator=(const LongDft&) = delete;
  cplx* data() { return buf_; }
  const cplx* data() const { return buf_; }
  size_t size() const { return n_; }
  void run();  // transforms data() in place

 private:
  cplx* buf_ = nullptr;
  size_t n_ = 0;
};

// A transform of one fixed size run many times on its own buffer.
class BlockDft {
 public:
  explicit BlockDft(size_t n);
  ~BlockDft();
  BlockDft(const BlockDft&) = delete;
  BlockDft& operator=(const BlockDft&) = delete;
  cplx* data() { return buf_.data(); }
  size_t size() const { return buf_.size(); }
  void run();  // transforms data() in place

 private:
  CVec buf_;
  void* plan_ = nullptr;
};

}  // namespace tarvio
