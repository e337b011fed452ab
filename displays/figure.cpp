// Figure data: traces, limits and subplot placement.
#include "displays/figure.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace tarvio {

bool Trace::x_ascending() const {
  if (!x) return dx >= 0;
  const size_t n = std::min(size(), x->size());
  return std::is_sorted(x->begin(), x->begin() + std::ptrdiff_t(n));
}

bool Trace::same_x(const Trace& other) const {
  const size_t n = std::min(size(), other.size());
  if (x == nullptr && other.x == nullptr) return x0 == other.x0 && dx == other.dx;
  if (x != nullptr && x == other.x) return true;
  for (size_t k = 0; k < n; ++k)
    if (x_at(k) != other.x_at(k)) return false;
  return true;
}

Trace uniform_trace(std::string label, RVec y, double x0, double dx, uint32_t rgb) {
  Trace t;
  t.label = std::move(label);
  t.y = std::make_shared<const RVec>(std::move(y));
  t.x0 = x0;
  t.dx = dx;
  t.rgb = rgb;
  return t;
}

Limits data_limits(const RVec& v) {
  bool any = false;
  Limits l{0, 0};
  for (double d : v) {
    if (!std::isfinite(d)) continue;
    if (!any) {
      l = {d, d};
      any = true;
    } else {
      l.lo = std::min(l.lo, d);
      l.hi = std::max(l.hi, d);
    }
  }
  return l;
}

Limits axis_limits(Limits l) {
  if (l.lo == l.hi) return {l.lo - 1, l.hi + 1};
  return l;
}

namespace {

struct Cell {
  double x0, x1, y0, y1;  // in fractions of the window
};

Cell cell_of(int rows, int cols, int cell) {
  const int r = cell / cols, c = cell % cols;
  return {double(c) / cols, double(c + 1) / cols, double(r) / rows, double(r + 1) / rows};
}

bool overlap(const Cell& a, const Cell& b) {
  constexpr double eps = 1e-9;
  return a.x0 < b.x1 - eps && b.x0 < a.x1 - eps && a.y0 < b.y1 - eps && b.y0 < a.y1 - eps;
}

}  // namespace

int subplot(Figure& f, int rows, int cols, int cell) {
  const Cell want = cell_of(rows, cols, cell);
  int found = -1;
  for (size_t i = 0; i < f.axes.size();) {
    const Axes& a = f.axes[i];
    if (a.grid_rows == rows && a.grid_cols == cols && a.cell == cell) {
      found = int(i);
      ++i;
    } else if (overlap(want, cell_of(a.grid_rows, a.grid_cols, a.cell))) {
      f.axes.erase(f.axes.begin() + std::ptrdiff_t(i));
    } else {
      ++i;
    }
  }
  if (found < 0) {
    Axes a;
    a.grid_rows = rows;
    a.grid_cols = cols;
    a.cell = cell;
    f.axes.push_back(std::move(a));
    found = int(f.axes.size()) - 1;
  }
  f.current = found;
  return found;
}

void require_finite(IqView x, const std::string& display) {
  for (size_t k = 0; k < x.size(); ++k)
    if (!std::isfinite(x.real(k)) || !std::isfinite(x.imag(k)))
      throw std::invalid_argument(display + ": sample " + std::to_string(k + 1) + " is not a finite number");
}

Axes& current_axes(Figure& f) {
  if (f.current < 0 || f.current >= int(f.axes.size())) {
    if (f.axes.empty()) f.axes.emplace_back();
    f.current = int(f.axes.size()) - 1;
  }
  return f.axes[size_t(f.current)];
}

}  // namespace tarvio
