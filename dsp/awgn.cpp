// White and band-limited Gaussian noise.
#include "dsp/awgn.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

constexpr double kPi = 3.14159265358979323846;

double bessel_i0(double x) {
  double sum = 1, term = 1;
  const double q = x * x / 4;
  for (int k = 1; k < 80; ++k) {
    term *= q / (static_cast<double>(k) * k);
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

// The low-pass taps: cut-off b/2 of the rate fs (b < fs), unit DC gain.
RVec low_pass(double fs, double b) {
  const double transition = 0.1 * b / fs;  // cycles per sample
  const double beta = 0.1102 * (60 - 8.7);
  size_t m = static_cast<size_t>(std::ceil((60 - 7.95) / (2.285 * 2 * kPi * transition))) + 1;
  if (m < 31) m = 31;
  if (m > 8191) m = 8191;
  m |= 1;
  const double fc = b / fs;  // two-sided bandwidth in cycles per sample
  const double centre = static_cast<double>(m - 1) / 2;
  const double i0b = bessel_i0(beta);
  RVec h(m);
  double sum = 0;
  for (size_t j = 0; j < m; ++j) {
    const double d = static_cast<double>(j) - centre;
    const double r = d / centre;
    const double w = bessel_i0(beta * std::sqrt(std::max(0.0, 1 - r * r))) / i0b;
    const double s = d == 0 ? fc : std::sin(kPi * fc * d) / (kPi * d);
    h[j] = s * w;
    sum += h[j];
  }
  for (double& v : h) v /= sum;
  return h;
}

}  // namespace

Awgn::Awgn(double sample_rate, double bandwidth, uint64_t seed) : noise_(seed, NoiseStream::Awgn) {
  if (!(bandwidth < sample_rate)) return;
  const RVec h = low_pass(sample_rate, bandwidth);
  energy_ = 0;
  for (double v : h) energy_ += v * v;
  filter_ = std::make_unique<KeyedNoiseFilter>(h, noise_);
}

void Awgn::add(cplx* x, size_t n, uint64_t first, double power, CVec& scratch) const {
  const double scale = std::sqrt(power / (2 * energy_));
  scratch.resize(n);
  if (filter_)
    filter_->generate(first, n, scratch.data());
  else
    noise_.gaussians(first, n, scratch.data());
  for (size_t m = 0; m < n; ++m) x[m] += scale * scratch[m];
}

}  // namespace tarvio
