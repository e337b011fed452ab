// FFTW plan of the verification DFT, made with a scratch buffer and run
// unaligned and in place so that any caller buffer will do.
#include "verify/fft.h"

#include <fftw3.h>

#include <mutex>
#include <stdexcept>

#include "runtime/fftw_planner.h"

namespace tarvio::verify {

Fft::Fft(size_t n) : n_(n) {
  if (n == 0) throw std::invalid_argument("Fft: size 0");
  std::lock_guard<std::mutex> lock(fftw_planner_mutex());
  fftw_complex* buf = fftw_alloc_complex(n);
  plan_ = fftw_plan_dft_1d(static_cast<int>(n), buf, buf, FFTW_FORWARD, FFTW_ESTIMATE | FFTW_UNALIGNED);
  fftw_free(buf);
  if (!plan_) throw std::runtime_error("Fft: no plan for size " + std::to_string(n));
}

Fft::~Fft() {
  std::lock_guard<std::mutex> lock(fftw_planner_mutex());
  fftw_destroy_plan(static_cast<fftw_plan>(plan_));
}

void Fft::forward(cplx* x) const {
  fftw_complex* p = reinterpret_cast<fftw_complex*>(x);
  fftw_execute_dft(static_cast<fftw_plan>(plan_), p, p);
}

}  // namespace tarvio::verify
