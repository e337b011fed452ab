// The magnitude spectrum display.
#include "displays/spectrum.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <string>

#include "displays/dft.h"
#include "displays/units.h"
#include "runtime/vector_state.h"

namespace tarvio {

Spectrum magnitude_spectrum(CVec x, double fs) {
  if (x.empty()) throw std::invalid_argument("magnitude spectrum: the waveform is empty");
  if (!(fs > 0) || !std::isfinite(fs))
    throw std::invalid_argument("magnitude spectrum: the sample rate must be a positive number");
  if (x.size() > size_t(INT_MAX))
    throw std::invalid_argument("magnitude spectrum: " + std::to_string(x.size()) +
                                " samples are more than one transform takes");
  const size_t n = x.size();
  forward_dft_in_place(x);

  // Power in display order: bin (k mod N) for k = -floor(N/2) ... ceil(N/2)-1.
  Spectrum s;
  s.level_db.resize(n);
  const size_t half = n / 2;
  double pmin = INFINITY, pmax = 0;
  for (size_t i = 0; i < n; ++i) {
    const cplx& v = x[i < half ? n - half + i : i - half];
    const double p = v.real() * v.real() + v.imag() * v.imag();
    s.level_db[i] = p;
    pmin = std::min(pmin, p);
    pmax = std::max(pmax, p);
  }
  CVec().swap(x);              // the transform is no longer needed
  clear_upper_vector_state();  // a logarithm per bin: keep SSE at full speed

  if (pmin == 0) {
    const double add = pmax > 0 ? 1e-20 * pmax : 1e-20;
    for (double& p : s.level_db) p += add;
    pmax += add;
  }
  const double top = 10 * std::log10(pmax);
  double lo = INFINITY;
  for (double& p : s.level_db) {
    p = 10 * std::log10(p) - top;
    lo = std::min(lo, p);
  }
  // The strongest bin is 0 dB by construction.
  s.axis_db = {std::max(std::floor(lo / 10) * 10, -100.0), 0};
  if (s.axis_db.lo >= s.axis_db.hi) s.axis_db.lo = s.axis_db.hi - 10;
  s.df_hz = fs / double(n);
  s.f0_hz = -double(half) * s.df_hz;
  return s;
}

Figure spectrum_figure(CVec x, double fs, const std::string& title) {
  if (!(fs > 0) || !std::isfinite(fs))
    throw std::invalid_argument("magnitude spectrum: the sample rate must be a positive number");
  require_finite(x, "magnitude spectrum");
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
  Spectrum s = magnitude_spectrum(std::move(x), fs);
  a.y = s.axis_db;
  a.traces.push_back(uniform_trace("LogMag (dB)", std::move(s.level_db), u(s.f0_hz), u(s.df_hz)));
  return f;
}

}  // namespace tarvio
