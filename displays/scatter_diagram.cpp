// The scatter diagram display.
#include "displays/scatter_diagram.h"

#include <algorithm>
#include <cmath>

#include "displays/units.h"

namespace tarvio {

Figure scatter_figure(const CVec& x, const std::string& title, bool trace_on) {
  require_finite(x, "scatter diagram");
  Figure f;
  f.name = "Scatter Diagram " + title;
  Axes& a = current_axes(f);
  if (x.empty()) {
    a.note = "No Data";
    return f;
  }
  double peak = 0;
  for (const cplx& v : x) peak = std::max({peak, std::abs(v.real()), std::abs(v.imag())});
  const AxisUnit u = voltage_unit(peak);
  auto is = std::make_shared<RVec>(x.size());
  RVec qs(x.size());
  for (size_t k = 0; k < x.size(); ++k) {
    (*is)[k] = u(x[k].real());
    qs[k] = u(x[k].imag());
  }
  a.xlabel = "In-phase (" + u.name + ")";
  a.ylabel = "Quadrature (" + u.name + ")";
  a.grid = GridStyle::Dotted;
  // Equal limits on both axes, so that a circle looks round in a square view.
  const double lim = u(peak) > 0 ? u(peak) * 1.05 : 1;
  a.x = a.y = {-lim, lim};
  Trace t;
  t.label = "Q (" + u.name + ")";
  t.x = is;
  t.y = std::make_shared<const RVec>(std::move(qs));
  t.style = trace_on ? LineStyle::Solid : LineStyle::Points;
  a.traces.push_back(std::move(t));
  return f;
}

}  // namespace tarvio
