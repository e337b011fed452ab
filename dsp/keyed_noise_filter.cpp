// Overlap-save filtering of a counter-keyed noise stream.
#include "dsp/keyed_noise_filter.h"

#include <fftw3.h>

#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "runtime/fftw_planner.h"

namespace tarvio {

namespace {

static_assert(sizeof(cplx) == sizeof(fftw_complex), "std::complex<double> must match fftw_complex");

// One in-place plan per size and direction, unaligned so that it runs on
// any buffer; destroyed at program exit.
struct Plan {
  fftw_plan plan = nullptr;
  ~Plan() {
    if (plan) fftw_destroy_plan(plan);
  }
};

fftw_plan plan_for(size_t n, int sign) {
  static std::map<std::pair<size_t, int>, std::unique_ptr<Plan>> plans;
  std::lock_guard<std::mutex> lock(fftw_planner_mutex());
  auto& slot = plans[{n, sign}];
  if (!slot) {
    CVec scratch(n);
    auto p = std::make_unique<Plan>();
    auto* d = reinterpret_cast<fftw_complex*>(scratch.data());
    p->plan = fftw_plan_dft_1d(static_cast<int>(n), d, d, sign, FFTW_ESTIMATE | FFTW_UNALIGNED);
    if (!p->plan) throw std::runtime_error("noise filter: FFTW could not plan " + std::to_string(n) + " points");
    slot = std::move(p);
  }
  return slot->plan;
}

void run(fftw_plan p, CVec& data) {
  auto* d = reinterpret_cast<fftw_complex*>(data.data());
  fftw_execute_dft(p, d, d);
}

}  // namespace

KeyedNoiseFilter::KeyedNoiseFilter(const RVec& h, CounterNoise noise) : taps_(h.size()), noise_(noise) {
  if (h.empty()) throw std::invalid_argument("noise filter: no taps");
  fft_size_ = 1024;
  while (fft_size_ < 2 * taps_) fft_size_ *= 2;
  spectrum_.assign(fft_size_, cplx(0, 0));
  for (size_t k = 0; k < taps_; ++k) spectrum_[k] = h[k] / static_cast<double>(fft_size_);
  run(plan_for(fft_size_, FFTW_FORWARD), spectrum_);
  plan_for(fft_size_, FFTW_BACKWARD);
}

RVec centred_taps(const RVec& response) {
  const size_t m = response.size();
  CVec a(response.begin(), response.end());
  run(plan_for(m, FFTW_BACKWARD), a);
  RVec h(m);
  for (size_t j = 0; j < m; ++j) h[j] = a[(j + m / 2) % m].real() / static_cast<double>(m);
  return h;
}

void KeyedNoiseFilter::generate(uint64_t first, size_t count, cplx* out) const {
  thread_local CVec block;
  block.resize(fft_size_);
  const fftw_plan fwd = plan_for(fft_size_, FFTW_FORWARD), bwd = plan_for(fft_size_, FFTW_BACKWARD);
  const size_t valid = fft_size_ - taps_ + 1;  // outputs per block
  for (size_t done = 0; done < count; done += valid) {
    // y[s .. s + valid) needs g[s - M + 1 .. s + valid).
    const uint64_t s = first + done;
    noise_.gaussians(s - (taps_ - 1), fft_size_, block.data());
    run(fwd, block);
    for (size_t k = 0; k < fft_size_; ++k) block[k] *= spectrum_[k];
    run(bwd, block);
    const size_t n = count - done < valid ? count - done : valid;
    for (size_t m = 0; m < n; ++m) out[done + m] = block[taps_ - 1 + m];
  }
}

}  // namespace tarvio
