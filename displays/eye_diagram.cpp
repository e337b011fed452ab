// The eye diagram display.
#include "displays/eye_diagram.h"

#include <algorithm>
#include <cmath>

#include "displays/units.h"

namespace tarvio {

Figure eye_diagram_figure(const CVec& x, const std::string& title, double samples_per_symbol, size_t symbols,
                          size_t delay) {
  require_finite(x, "eye diagram");
  Figure f;
  f.name = "Eye Diagram " + title;
  const size_t sps = size_t(std::max(1.0, round_half_away(std::isfinite(samples_per_symbol) ? samples_per_symbol : 1)));
  const size_t span = 2 * sps + 1;
  size_t stretches = 0;
  if (x.size() >= span && delay <= x.size() - span) stretches = std::min(symbols, (x.size() - span - delay) / sps + 1);
  if (stretches == 0) {
    current_axes(f).note = "No Data";
    return f;
  }
  double peak = 0;
  for (const cplx& v : x) peak = std::max({peak, std::abs(v.real()), std::abs(v.imag())});
  const AxisUnit u = voltage_unit(peak);

  // All stretches in one trace each for I and Q, a NaN between stretches.
  auto xs = std::make_shared<RVec>();
  RVec yi, yq;
  const size_t points = stretches * (span + 1);
  xs->reserve(points);
  yi.reserve(points);
  yq.reserve(points);
  for (size_t k = 0; k < stretches; ++k) {
    const size_t start = delay + k * sps;
    for (size_t j = 0; j < span; ++j) {
      xs->push_back(double(j) / double(sps));
      yi.push_back(u(x[start + j].real()));
      yq.push_back(u(x[start + j].imag()));
    }
    xs->push_back(NAN);
    yi.push_back(NAN);
    yq.push_back(NAN);
  }
  const Limits li = axis_limits(data_limits(yi)), lq = axis_limits(data_limits(yq));
  for (int row = 0; row < 2; ++row) {
    Axes a;
    a.grid_rows = 2;
    a.cell = row;
    a.title = row == 0 ? "I" : "Q";
    a.xlabel = "Time (symbols)";
    a.ylabel = "Amplitude (" + u.name + ")";
    a.x = {0, 2};
    a.y = row == 0 ? li : lq;
    a.grid = GridStyle::Dotted;
    Trace t;
    t.label = std::string(row == 0 ? "I (" : "Q (") + u.name + ")";
    t.x = xs;
    t.y = std::make_shared<const RVec>(row == 0 ? std::move(yi) : std::move(yq));
    t.rgb = row == 0 ? 0x0000FF : 0xFF00FF;
    a.traces.push_back(std::move(t));
    f.axes.push_back(std::move(a));
  }
  f.current = 1;
  return f;
}

}  // namespace tarvio
