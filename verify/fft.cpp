// FFTW plan of the verification DFT on the object's own aligned buffers.
#include "verify/fft.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>

#include "runtime/fftw_planner.h"

namespace tarvio::verify {

Fft::Fft(size_t n, size_t interleaved) : n_(n), rows_(interleaved) {
  if (n == 0 || interleaved == 0) throw std::invalid_argument("Fft: size 0");
  std::lock_guard<std::mutex> lock(fftw_planner_mutex());
  const size_t total = n * interleaved;
  fftw_complex* in = fftw_alloc_complex(total);
  fftw_complex* out = fftw_alloc_complex(total);
  const int size = static_cast<int>(n), rows = static_cast<int>(interleaved);
  if (in && out)
    plan_ =
        fftw_plan_many_dft(1, &size, rows, in, nullptr, rows, 1, out, nullptr, 1, size, FFTW_FORWARD, FFTW_ESTIMATE);
  if (!plan_) {
    fftw_free(in);
    fftw_free(out);
    throw std::runtime_error("Fft: no plan for size " + std::to_string(n));
  }
  in_ = reinterpret_cast<cplx*>(in);
  out_ = reinterpret_cast<cplx*>(out);
  std::fill(in_, in_ + total, cplx(0));
}

Fft::~Fft() {
  std::lock_guard<std::mutex> lock(fftw_planner_mutex());
  fftw_destroy_plan(static_cast<fftw_plan>(plan_));
  fftw_free(in_);
  fftw_free(out_);
}

void Fft::run() { fftw_execute(static_cast<fftw_plan>(plan_)); }

}  // namespace tarvio::verify
