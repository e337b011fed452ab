// The I(t) Q(t) display.
#include "displays/iq_time.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tarvio {

namespace {

constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kMagenta = 0xFF00FF;

}  // namespace

IqUnits iq_units(IqView x, double fs) {
  double peak = 0;
  for (size_t k = 0; k < x.size(); ++k) peak = std::max({peak, std::abs(x.real(k)), std::abs(x.imag(k))});
  const double last = x.empty() ? 0 : double(x.size() - 1) / fs;
  return {time_unit(last), voltage_unit(peak)};
}

Figure iq_time_figure(IqView x, double fs, const std::string& title, bool overlaid) {
  if (!(fs > 0) || !std::isfinite(fs))
    throw std::invalid_argument("I(t) Q(t): the sample rate must be a positive number");
  require_finite(x, "I(t) Q(t)");
  Figure f;
  f.name = "I(t) Q(t) " + title;
  if (x.empty()) {
    Axes& a = current_axes(f);
    a.note = "No Data";
    return f;
  }
  const IqUnits u = iq_units(x, fs);
  const size_t n = x.size();
  RVec i(n), q(n);
  for (size_t k = 0; k < n; ++k) {
    i[k] = u.voltage(x.real(k));
    q[k] = u.voltage(x.imag(k));
  }
  const double dt = u.time(1 / fs);
  const Limits t = axis_limits({0, u.time(double(n - 1) / fs)});
  const Limits li = data_limits(i), lq = data_limits(q);
  const std::string ylabel = "Amplitude (" + u.voltage.name + ")";
  const std::string xlabel = "Time (" + u.time.name + ")";
  Trace ti = uniform_trace("I (" + u.voltage.name + ")", std::move(i), 0, dt, kBlue);
  Trace tq = uniform_trace("Q (" + u.voltage.name + ")", std::move(q), 0, dt, kMagenta);

  auto axes_for = [&](const char* name, Limits y) {
    Axes a;
    a.title = name;
    a.xlabel = xlabel;
    a.ylabel = ylabel;
    a.x = t;
    a.y = axis_limits(y);
    return a;
  };
  if (overlaid) {
    Axes a = axes_for("I(t) Q(t)", {std::min(li.lo, lq.lo), std::max(li.hi, lq.hi)});
    a.traces = {std::move(ti), std::move(tq)};
    f.axes.push_back(std::move(a));
  } else {
    Axes upper = axes_for("I(t)", li);
    upper.grid_rows = 2;
    upper.traces.push_back(std::move(ti));
    Axes lower = axes_for("Q(t)", lq);
    lower.grid_rows = 2;
    lower.cell = 1;
    lower.traces.push_back(std::move(tq));
    f.axes = {std::move(upper), std::move(lower)};
  }
  f.current = int(f.axes.size()) - 1;
  return f;
}

}  // namespace tarvio
