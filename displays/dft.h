// Forward discrete Fourier transforms for the displays, through FFTW.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// Transforms x in place (X(k) = sum x(n) e^(-2 pi i k n / N)). Throws
// std::runtime_error when FFTW cannot plan the size.
void forward_dft_in_place(CVec& x);

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
