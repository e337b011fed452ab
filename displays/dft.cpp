// Forward transforms through FFTW. Making and destroying plans takes the
// program's one FFTW planner lock; running a plan does not.
#include "displays/dft.h"

#include <fftw3.h>

#include <climits>
#include <mutex>
#include <stdexcept>
#include <string>

#include "runtime/fftw_planner.h"

namespace tarvio {

namespace {

fftw_plan make_plan(cplx* data, size_t n, int threads) {
  auto* d = reinterpret_cast<fftw_complex*>(data);
  fftw_plan p;
  {
    std::lock_guard<std::mutex> lock(fftw_planner_mutex());
    // The thread count is planner state: set for this plan only, so every
    // other plan of the program stays on one thread.
    static const bool threads_ready = fftw_init_threads() != 0;
    if (threads_ready) fftw_plan_with_nthreads(threads);
    p = fftw_plan_dft_1d(int(n), d, d, FFTW_FORWARD, FFTW_ESTIMATE);
    if (threads_ready) fftw_plan_with_nthreads(1);
  }
  if (!p) throw std::runtime_error("FFTW cannot plan a transform of " + std::to_string(n) + " points");
  return p;
}

void destroy(fftw_plan p) {
  std::lock_guard<std::mutex> lock(fftw_planner_mutex());
  fftw_destroy_plan(p);
}

}  // namespace

Dft::Dft(size_t n, size_t threads) : n_(n) {
  if (n > size_t(INT_MAX))
    throw std::runtime_error("a transform of " + std::to_string(n) + " points is more than FFTW takes at once");
  if (n == 0) return;
  buf_ = reinterpret_cast<cplx*>(fftw_alloc_complex(n));
  if (!buf_)
    throw std::runtime_error("no memory for a transform of " + std::to_string(n) + " points (" +
                             std::to_string(n * sizeof(cplx) >> 20) + " MiB)");
  try {
    // FFTW_ESTIMATE plans without touching the buffer.
    plan_ = make_plan(buf_, n, int(threads));
  } catch (...) {
    fftw_free(buf_);
    throw;
  }
}

Dft::~Dft() {
  if (plan_) destroy(static_cast<fftw_plan>(plan_));
  fftw_free(buf_);
}

void Dft::run() {
  if (plan_) fftw_execute(static_cast<fftw_plan>(plan_));
}

}  // namespace tarvio
