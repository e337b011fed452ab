// Impairments applied to test waveforms by the tests themselves, so that
// the receivers' measurements are checked against known values: carrier
// offset, sample-clock error (band-limited resampling), IQ gain and phase
// imbalance, DC offset and noise over a chosen bandwidth.
#pragma once

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "runtime/types.h"

namespace tarvio::verify::testing {

inline void turn_carrier(CVec& x, double hz, double fs, double phase = 0) {
  for (size_t k = 0; k < x.size(); ++k)
    x[k] *= std::polar(1.0, phase + 2 * std::numbers::pi * hz * static_cast<double>(k) / fs);
}

// Windowed-sinc value of x at time t (samples), 64 taps (Blackman window).
inline cplx sinc_at(const CVec& x, double t) {
  const long c = static_cast<long>(std::floor(t));
  cplx acc = 0;
  for (long k = c - 31; k <= c + 32; ++k) {
    if (k < 0 || k >= static_cast<long>(x.size())) continue;
    const double u = t - static_cast<double>(k);
    const double s = std::abs(u) < 1e-12 ? 1 : std::sin(std::numbers::pi * u) / (std::numbers::pi * u);
    const double a = std::numbers::pi * (u + 32.5) / 32.5;
    acc += x[static_cast<size_t>(k)] * s * (0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a));
  }
  return acc;
}

// A transmitter clock fast by `ppm`: sample n of the result is x at n (1 + e).
inline CVec clock_error(const CVec& x, double ppm) {
  const double e = ppm * 1e-6;
  CVec y(static_cast<size_t>(static_cast<double>(x.size()) / (1 + e)));
  for (size_t n = 0; n < y.size(); ++n) y[n] = sinc_at(x, static_cast<double>(n) * (1 + e));
  return y;
}

// IQ imbalance as a transmitter has it: the I branch `gain_db` above the Q
// branch (split between them) and the axes' images `phase_deg` inside 90
// degrees of each other (each turned half of it towards the other).
inline void iq_imbalance(CVec& x, double gain_db, double phase_deg) {
  const double gi = std::pow(10, gain_db / 40), gq = 1 / gi;
  const double c = std::cos(phase_deg * std::numbers::pi / 360), s = std::sin(phase_deg * std::numbers::pi / 360);
  for (auto& v : x) v = cplx(gi * (v.real() * c + v.imag() * s), gq * (v.imag() * c + v.real() * s));
}

inline double mean_power(const CVec& x, size_t from, size_t to) {
  double p = 0;
  for (size_t i = from; i < to; ++i) p += std::norm(x[i]);
  return p / static_cast<double>(to - from);
}

// DC offset `dbc` below power `p`, equal in I and Q.
inline void dc_offset(CVec& x, double dbc, double p) {
  const double a = std::sqrt(p * std::pow(10, dbc / 10) / 2);
  for (auto& v : x) v += cplx(a, a);
}

// Gaussian noise at `snr_db` below power `p` within +-bandwidth/2 (the
// whole sample rate when bandwidth >= fs): white noise through a
// 255-tap windowed-sinc low-pass, scaled to the power wanted.
inline void add_noise_in_band(CVec& x, double snr_db, double p, double bandwidth, double fs, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> g(0, std::sqrt(0.5));
  CVec w(x.size() + 254);
  for (auto& v : w) v = cplx(g(gen), g(gen));
  CVec noise(x.size());
  if (bandwidth >= fs) {
    std::copy(w.begin(), w.begin() + static_cast<long>(x.size()), noise.begin());
  } else {
    std::vector<double> h(255);
    const double fc = bandwidth / fs;  // two-sided width over the rate
    for (int k = 0; k < 255; ++k) {
      const double u = k - 127;
      const double s = u == 0 ? fc : std::sin(std::numbers::pi * fc * u) / (std::numbers::pi * u);
      const double a = 2 * std::numbers::pi * k / 254;
      h[static_cast<size_t>(k)] = s * (0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a));
    }
    for (size_t n = 0; n < x.size(); ++n) {
      cplx acc = 0;
      for (size_t k = 0; k < 255; ++k) acc += w[n + k] * h[k];
      noise[n] = acc;
    }
  }
  const double scale = std::sqrt(p * std::pow(10, -snr_db / 10) / mean_power(noise, 0, noise.size()));
  for (size_t n = 0; n < x.size(); ++n) x[n] += scale * noise[n];
}

}  // namespace tarvio::verify::testing
