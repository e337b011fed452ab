// FFTW plan cache and the scaled inverse DFT used by the OFDM symbol builder.
#include "ofdm/inverse_dft.h"

#include <fftw3.h>

#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "runtime/fftw_planner.h"

namespace tarvio {

static_assert(sizeof(cplx) == sizeof(fftw_complex), "std::complex<double> must match fftw_complex");

DftBuffer::DftBuffer(size_t n) : n_(n) {
  if (n_ == 0) return;
  p_ = static_cast<cplx*>(fftw_malloc(n_ * sizeof(cplx)));
  if (!p_) throw std::bad_alloc();
  for (size_t i = 0; i < n_; ++i) p_[i] = cplx(0.0, 0.0);
}

DftBuffer::~DftBuffer() {
  if (p_) fftw_free(p_);
}

DftBuffer::DftBuffer(DftBuffer&& o) noexcept : n_(o.n_), p_(o.p_) {
  o.n_ = 0;
  o.p_ = nullptr;
}

DftBuffer& DftBuffer::operator=(DftBuffer&& o) noexcept {
  if (this != &o) {
    if (p_) fftw_free(p_);
    n_ = o.n_;
    p_ = o.p_;
    o.n_ = 0;
    o.p_ = nullptr;
  }
  return *this;
}

namespace {

// One backward plan per size; destroyed at program exit.
struct BackwardPlan {
  fftw_plan plan = nullptr;
  ~BackwardPlan() {
    if (plan) fftw_destroy_plan(plan);
  }
};

fftw_plan backward_plan(size_t n) {
  static std::map<size_t, std::unique_ptr<BackwardPlan>> plans;
  std::lock_guard<std::mutex> lock(fftw_planner_mutex());
  auto it = plans.find(n);
  if (it != plans.end()) return it->second->plan;
  // Planning on scratch buffers of the same alignment as every DftBuffer, so
  // the plan may later run on any pair of them (new-array execute).
  DftBuffer a(n), b(n);
  auto p = std::make_unique<BackwardPlan>();
  p->plan = fftw_plan_dft_1d(static_cast<int>(n), reinterpret_cast<fftw_complex*>(a.data()),
                             reinterpret_cast<fftw_complex*>(b.data()), FFTW_BACKWARD, FFTW_ESTIMATE);
  if (!p->plan)
    throw std::runtime_error("inverse DFT: FFTW could not plan a transform of " + std::to_string(n) + " points");
  fftw_plan plan = p->plan;
  plans.emplace(n, std::move(p));
  return plan;
}

}  // namespace

void inverse_dft(const DftBuffer& in, DftBuffer& out) {
  const size_t n = in.size();
  if (n == 0 || out.size() != n)
    throw std::invalid_argument("inverse DFT: input and output must have the same, non-zero number of points");
  fftw_plan plan = backward_plan(n);
  // FFTW does not write to the input of an out-of-place complex transform.
  fftw_execute_dft(plan, reinterpret_cast<fftw_complex*>(const_cast<cplx*>(in.data())),
                   reinterpret_cast<fftw_complex*>(out.data()));
  const double scale = 1.0 / static_cast<double>(n);
  for (size_t i = 0; i < n; ++i) out[i] *= scale;
}

}  // namespace tarvio
