// The magnitude spectrum display.
#include "displays/spectrum.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "displays/dft.h"
#include "displays/units.h"
#include "runtime/parallel_pieces.h"
#include "runtime/vector_state.h"

namespace tarvio {

namespace {

// Samples per thread below which a pass is left on one thread.
constexpr size_t kGrain = size_t(1) << 16;

}  // namespace

Spectrum magnitude_spectrum(IqView x, double fs) {
  if (x.empty()) throw std::invalid_argument("magnitude spectrum: the waveform is empty");
  if (!(fs > 0) || !std::isfinite(fs))
    throw std::invalid_argument("magnitude spectrum: the sample rate must be a positive number");
  if (x.size() > size_t(INT_MAX))
    throw std::invalid_argument("magnitude spectrum: " + std::to_string(x.size()) +
                                " samples are more than one transform takes");
  const size_t n = x.size();
  const size_t half = n / 2;
  const size_t pieces = piece_count(n, kGrain);
  Spectrum s;
  std::vector<double> lo(pieces, INFINITY), hi(pieces, 0);
  {
    // Copied into the transform's buffer and checked in the same pass: the
    // first sample that is not a finite number is named.
    Dft dft(n, piece_count(n, kGrain));
    cplx* d = dft.data();
    std::vector<size_t> bad(pieces, n);
    parallel_pieces(n, kGrain, [&](size_t p, size_t b, size_t e) {
      bool finite = true;
      for (size_t k = b; k < e; ++k) {
        d[k] = x[k];
        finite &= std::isfinite(d[k].real());
        finite &= std::isfinite(d[k].imag());
      }
      if (!finite)
        for (size_t k = b; k < e && bad[p] == n; ++k)
          if (!std::isfinite(d[k].real()) || !std::isfinite(d[k].imag())) bad[p] = k;
    });
    const size_t first_bad = *std::min_element(bad.begin(), bad.end());
    if (first_bad < n)
      throw std::invalid_argument("magnitude spectrum: sample " + std::to_string(first_bad + 1) +
                                  " is not a finite number");
    dft.run();

    // Power in display order: bin (k mod N) for k = -floor(N/2) ... ceil(N/2)-1.
    s.level_db.resize(n);
    parallel_pieces(n, kGrain, [&](size_t p, size_t b, size_t e) {
      double pmin = INFINITY, pmax = 0;
      for (size_t i = b; i < e; ++i) {
        const cplx& v = d[i < half ? n - half + i : i - half];
        const double pw = v.real() * v.real() + v.imag() * v.imag();
        s.level_db[i] = pw;
        pmin = std::min(pmin, pw);
        pmax = std::max(pmax, pw);
      }
      lo[p] = pmin;
      hi[p] = pmax;
    });
  }  // the transform is no longer needed
  const double pmin = *std::min_element(lo.begin(), lo.end());
  double pmax = *std::max_element(hi.begin(), hi.end());

  const double add = pmin == 0 ? (pmax > 0 ? 1e-20 * pmax : 1e-20) : 0;
  pmax += add;
  const double top = 10 * std::log10(pmax);
  std::vector<double> lowest(pieces, INFINITY);
  parallel_pieces(n, kGrain, [&](size_t p, size_t b, size_t e) {
    clear_upper_vector_state();  // a logarithm per bin: keep SSE at full speed
    double l = INFINITY;
    for (size_t i = b; i < e; ++i) {
      double& v = s.level_db[i];
      v = 10 * std::log10(v + add) - top;
      l = std::min(l, v);
    }
    lowest[p] = l;
  });
  const double low = *std::min_element(lowest.begin(), lowest.end());
  // The strongest bin is 0 dB by construction.
  s.axis_db = {std::max(std::floor(low / 10) * 10, -100.0), 0};
  if (s.axis_db.lo >= s.axis_db.hi) s.axis_db.lo = s.axis_db.hi - 10;
  s.df_hz = fs / double(n);
  s.f0_hz = -double(half) * s.df_hz;
  return s;
}

Figure spectrum_figure(IqView x, double fs, const std::string& title) {
  if (!(fs > 0) || !std::isfinite(fs))
    throw std::invalid_argument("magnitude spectrum: the sample rate must be a positive number");
  Figure f;
  f.name = "Magnitude Spectrum " + title;
  Axes& a = current_axes(f);
  const AxisUnit u = frequency_unit(fs / 2);
  a.xlabel = "Frequency (" + u.name + ")";
  a.ylabel = "LogMag (dB)";
  a.grid = GridStyle::Solid;
  a.x = axis_limits({u(-fs / 2), u(fs / 2)});
  if (x.empty()) {
    a.note = "No Data";
    a.y = {-100, 0};
    return f;
  }
  Spectrum s = magnitude_spectrum(x, fs);  // checks that every sample is finite
  a.y = s.axis_db;
  a.traces.push_back(uniform_trace("LogMag (dB)", std::move(s.level_db), u(s.f0_hz), u(s.df_hz)));
  return f;
}

Spectrum welch_spectrum(IqView x, double fs) {
  if (x.empty()) throw std::invalid_argument("magnitude spectrum: the waveform is empty");
  if (!(fs > 0) || !std::isfinite(fs))
    throw std::invalid_argument("magnitude spectrum: the sample rate must be a positive number");
  require_finite(x, "magnitude spectrum");
  const size_t n = x.size();
  size_t len = 64;
  while (static_cast<double>(len) < fs / 100e3 && len < (size_t(1) << 24)) len *= 2;
  while (len > n && len > 1) len /= 2;
  std::vector<double> window(len), power(len, 0.0);
  for (size_t i = 0; i < len; ++i)
    window[i] = len == 1 ? 1 : 0.5 - 0.5 * std::cos(2 * std::acos(-1.0) * (double(i) + 0.5) / double(len));
  // The samples are scaled to a largest component of 1 (levels are relative
  // to the peak), so that no square overflows.
  double largest = 0;
  for (size_t k = 0; k < n; ++k) largest = std::max({largest, std::abs(x.real(k)), std::abs(x.imag(k))});
  const double unit = largest > 0 ? 1 / largest : 1;
  Dft dft(len);
  cplx* d = dft.data();
  const size_t step = std::max<size_t>(1, len / 2);
  size_t segments = 0;
  for (size_t first = 0; first + len <= n; first += step, ++segments) {
    for (size_t i = 0; i < len; ++i) d[i] = x[first + i] * (window[i] * unit);
    dft.run();
    for (size_t i = 0; i < len; ++i) power[i] += std::norm(d[i]);
  }
  Spectrum s;
  const size_t half = len / 2;
  s.level_db.resize(len);
  double pmax = 0;
  for (size_t i = 0; i < len; ++i) {
    s.level_db[i] = power[i < half ? len - half + i : i - half] / double(std::max<size_t>(segments, 1));
    pmax = std::max(pmax, s.level_db[i]);
  }
  const double floor = pmax > 0 ? 1e-20 * pmax : 1e-20;
  const double top = 10 * std::log10(std::max(pmax, floor));
  double low = 0;
  for (double& v : s.level_db) {
    v = 10 * std::log10(std::max(v, floor)) - top;
    low = std::min(low, v);
  }
  s.axis_db = {std::max(std::floor(low / 10) * 10, -100.0), 0};
  if (s.axis_db.lo >= s.axis_db.hi) s.axis_db.lo = s.axis_db.hi - 10;
  s.df_hz = fs / double(len);
  s.f0_hz = -double(half) * s.df_hz;
  s.rbw_hz = len > 1 ? 1.5 * s.df_hz : fs;
  return s;
}

Figure welch_spectrum_figure(IqView x, double fs, const std::string& title) {
  Figure f = spectrum_figure(IqView(), fs, title);  // the window, axes and labels
  Axes& a = current_axes(f);
  if (x.empty()) return f;
  a.note.clear();
  Spectrum s = welch_spectrum(x, fs);
  const AxisUnit u = frequency_unit(fs / 2);
  char rbw[48];
  std::snprintf(rbw, sizeof rbw, "  RBW %.1f kHz", s.rbw_hz / 1e3);
  a.xlabel += rbw;
  a.y = s.axis_db;
  a.traces.push_back(uniform_trace("LogMag (dB)", std::move(s.level_db), u(s.f0_hz), u(s.df_hz)));
  return f;
}

}  // namespace tarvio
