// Per-column reduction of long traces for drawing.
#include "displays/envelope.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

// The index range [first, last] of the samples in [x_lo, x_hi], widened by
// one sample on each side; empty (first > last) when there is nothing.
void range_in_view(const Trace& t, double x_lo, double x_hi, size_t& first, size_t& last) {
  const size_t n = t.size();
  if (!t.x) {
    if (t.dx <= 0) {
      first = 0;
      last = n - 1;
      return;
    }
    const double a = std::floor((x_lo - t.x0) / t.dx) - 1;
    const double b = std::ceil((x_hi - t.x0) / t.dx) + 1;
    if (b < 0 || a > double(n - 1)) {
      first = 1;
      last = 0;
      return;
    }
    first = a < 0 ? 0 : size_t(a);
    last = std::min(n - 1, size_t(b));
    return;
  }
  const auto begin = t.x->begin(), end = t.x->begin() + std::ptrdiff_t(n);
  const size_t lo = size_t(std::lower_bound(begin, end, x_lo) - begin);
  const size_t hi = size_t(std::upper_bound(begin, end, x_hi) - begin);
  first = lo > 0 ? lo - 1 : 0;
  last = std::min(n - 1, hi);
}

}  // namespace

std::vector<PlotPoint> envelope(const Trace& t, double x_lo, double x_hi, int columns) {
  std::vector<PlotPoint> out;
  const size_t n = t.size();
  if (n == 0) return out;
  const RVec& y = *t.y;
  if (!t.x_ascending() || !(x_hi > x_lo) || columns <= 0) {
    out.reserve(n);
    for (size_t k = 0; k < n; ++k) out.push_back({t.x_at(k), y[k]});
    return out;
  }
  size_t first = 0, last = 0;
  range_in_view(t, x_lo, x_hi, first, last);
  if (first > last) return out;
  if (last - first + 1 <= 4 * size_t(columns)) {
    out.reserve(last - first + 1);
    for (size_t k = first; k <= last; ++k) out.push_back({t.x_at(k), y[k]});
    return out;
  }

  // One column at a time: its first, smallest, largest and last sample.
  const double per_x = double(columns) / (x_hi - x_lo);
  out.reserve(4 * size_t(columns) + 8);
  long col = 0;
  bool open = false;
  size_t k_first = 0, k_min = 0, k_max = 0, k_last = 0;
  auto flush = [&] {
    if (!open) return;
    size_t ks[4] = {k_first, std::min(k_min, k_max), std::max(k_min, k_max), k_last};
    size_t prev = SIZE_MAX;
    for (size_t k : ks) {
      if (k == prev) continue;
      out.push_back({t.x_at(k), y[k]});
      prev = k;
    }
    open = false;
  };
  for (size_t k = first; k <= last; ++k) {
    const double v = y[k];
    if (std::isnan(v)) continue;
    const double xk = t.x_at(k);
    const long c = long(std::floor((xk - x_lo) * per_x));
    if (!open || c != col) {
      flush();
      col = c;
      open = true;
      k_first = k_min = k_max = k;
    } else {
      if (v < y[k_min]) k_min = k;
      if (v > y[k_max]) k_max = k;
    }
    k_last = k;
  }
  flush();
  return out;
}

}  // namespace tarvio
