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

// The energy of h's response within |f| <= b/2 (f in cycles per sample,
// c = b/fs): the integral of |H(f)|^2 there, which in the taps is
//   c r[0] + 2 sum_{d>=1} r[d] sin(pi c d) / (pi d),  r[d] = sum_j h[j] h[j+d]
// exactly (|H|^2 is the transform of the autocorrelation r).
double in_band_energy(const RVec& h, double c) {
  const size_t m = h.size();
  double e = 0;
  for (size_t d = 0; d < m; ++d) {
    double r = 0;
    for (size_t j = 0; j + d < m; ++j) r += h[j] * h[j + d];
    e += d == 0 ? c * r : 2 * r * std::sin(kPi * c * static_cast<double>(d)) / (kPi * static_cast<double>(d));
  }
  return e;
}

}  // namespace

Awgn::Awgn(double sample_rate, double bandwidth, uint64_t seed) : noise_(seed, NoiseStream::Awgn) {
  if (!(bandwidth < sample_rate)) return;
  const RVec h = low_pass(sample_rate, bandwidth);
  energy_ = in_band_energy(h, bandwidth / sample_rate);
  filter_ = std::make_unique<KeyedNoiseFilter>(h, noise_);
}

void Awgn::add(cplx* x, size_t n, uint64_t first, double power, CVec& scratch) const {
  const double scale = std::sqrt(power / (2 * energy_));
  if (filter_) {
    scratch.resize(n);
    filter_->generate(first, n, scratch.data());
    for (size_t m = 0; m < n; ++m) x[m] += scale * scratch[m];
    return;
  }
  // White noise, sample by sample from its counter: drawn a cache-sized
  // piece at a time.
  constexpr size_t kPiece = 4096;
  scratch.resize(std::min(n, kPiece));
  for (size_t b = 0; b < n; b += kPiece) {
    const size_t len = std::min(n - b, kPiece);
    noise_.gaussians(first + b, len, scratch.data());
    for (size_t m = 0; m < len; ++m) x[b + m] += scale * scratch[m];
  }
}

}  // namespace tarvio
