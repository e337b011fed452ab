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

fftw_plan make_plan(CVec& x) {
  if (x.size() > size_t(INT_MAX))
    throw std::runtime_error("a transform of " + std::to_string(x.size()) + " points is more than FFTW takes at once");
  auto* d = reinterpret_cast<fftw_complex*>(x.data());
  fftw_plan p;
  {
    std::lock_guard<std::mutex> lock(fftw_planner_mutex());
    p = fftw_plan_dft_1d(int(x.size()), d, d, FFTW_FORWARD, FFTW_ESTIMATE);
  }
  if (!p) throw std::runtime_error("FFTW cannot plan a transform of " + std::to_string(x.size()) + " points");
  return p;
}

void destroy(fftw_plan p) {
  std::lock_guard<std::mutex> lock(fftw_planner_mutex());
  fftw_destroy_plan(p);
}

}  // namespace

void forward_dft_in_place(CVec& x) {
  if (x.empty()) return;
  fftw_plan p = make_plan(x);
  fftw_execute(p);
  destroy(p);
}

BlockDft::BlockDft(size_t n) : buf_(n) { plan_ = n ? make_plan(buf_) : nullptr; }

BlockDft::~BlockDft() {
  if (plan_) destroy(static_cast<fftw_plan>(plan_));
}

void BlockDft::run() {
  if (plan_) fftw_execute(static_cast<fftw_plan>(plan_));
}

}  // namespace tarvio
