// Per-column reduction of long traces for drawing.
#include "displays/envelope.h"

#include <algorithm>
#include <cmath>

#include "runtime/vector_state.h"
namespace tarvio {

TraceSummary::TraceSummary(const RVec& y) {
  const size_t n = (y.size() + kBlock - 1) / kBlock;
  min_.assign(n, -1);
  max_.assign(n, -1);
  for (size_t b = 0; b < n; ++b) {
    const size_t first = b * kBlock, last = std::min(y.size(), first + kBlock);
    int16_t lo = -1, hi = -1;
    for (size_t k = first; k < last; ++k) {
      const double v = y[k];
      if (std::isnan(v)) continue;
      if (lo < 0 || v < y[first + size_t(lo)]) lo = int16_t(k - first);
      if (hi < 0 || v > y[first + size_t(hi)]) hi = int16_t(k - first);
    }
    min_[b] = lo;
    max_[b] = hi;
  }
}

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

// The extremes of one column as sample indices.
struct ColumnExtremes {
  size_t first = 0, min = 0, max = 0, last = 0;
  bool any = false;

  void take(const RVec& y, size_t k) {
    if (!any) {
      first = min = max = k;
      any = true;
    } else {
      if (y[k] < y[min]) min = k;
      if (y[k] > y[max]) max = k;
    }
    last = k;
  }
};

void emit(const Trace& t, const ColumnExtremes& c, std::vector<PlotPoint>& out) {
  if (!c.any) return;
  const size_t ks[4] = {c.first, std::min(c.min, c.max), std::max(c.min, c.max), c.last};
  size_t prev = SIZE_MAX;
  for (size_t k : ks) {
    if (k == prev) continue;
    out.push_back({t.x_at(k), (*t.y)[k]});
    prev = k;
  }
}

// The extremes of samples [a, b] (NaN skipped), visiting whole blocks
// through the summary.
ColumnExtremes extremes(const RVec& y, size_t a, size_t b, const TraceSummary& s) {
  constexpr size_t B = TraceSummary::kBlock;
  ColumnExtremes c;
  size_t k = a;
  auto raw_until = [&](size_t end) {  // samples k ... end-1
    for (; k < end; ++k)
      if (!std::isnan(y[k])) c.take(y, k);
  };
  raw_until(std::min(b + 1, (a + B - 1) / B * B));
  for (; k + B <= b + 1; k += B) {
    const size_t blk = k / B;
    if (s.min_at(blk) < 0) continue;
    const size_t kmin = k + size_t(s.min_at(blk)), kmax = k + size_t(s.max_at(blk));
    // The block's first and last valid samples bound the column's ends.
    size_t kf = k;
    while (std::isnan(y[kf])) ++kf;
    size_t kl = k + B - 1;
    while (std::isnan(y[kl])) --kl;
    if (!c.any) {
      c.first = kf;
      c.min = kmin;
      c.max = kmax;
      c.any = true;
    } else {
      if (y[kmin] < y[c.min]) c.min = kmin;
      if (y[kmax] > y[c.max]) c.max = kmax;
    }
    c.last = kl;
  }
  raw_until(b + 1);
  return c;
}

}  // namespace

std::vector<PlotPoint> envelope(const Trace& t, double x_lo, double x_hi, int columns, const TraceSummary* summary) {
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

  const double per_x = double(columns) / (x_hi - x_lo);
  clear_upper_vector_state();  // a floor per sample: keep SSE at full speed
  auto column = [&](size_t k) { return long(std::floor((t.x_at(k) - x_lo) * per_x)); };
  out.reserve(4 * size_t(columns) + 8);
  const bool blocks = summary && !t.x && summary->blocks() * TraceSummary::kBlock >= n;
  if (!blocks) {
    // Sample by sample.
    ColumnExtremes c;
    long col = 0;
    for (size_t k = first; k <= last; ++k) {
      if (std::isnan(y[k])) continue;
      const long ck = column(k);
      if (c.any && ck != col) {
        emit(t, c, out);
        c = ColumnExtremes{};
      }
      col = ck;
      c.take(y, k);
    }
    emit(t, c, out);
    return out;
  }
  // Column by column: find each column's last sample from its first, then
  // take its extremes through the summary.
  for (size_t a = first; a <= last;) {
    const long c = column(a);
    // The last sample whose column is c: an estimate from the spacing,
    // corrected against the column rule itself.
    const double guess = std::floor((double(c + 1) / per_x + x_lo - t.x0) / t.dx);
    size_t b = guess < double(a) ? a : std::min(last, size_t(guess));
    while (b > a && column(b) > c) --b;
    while (b < last && column(b + 1) <= c) ++b;
    emit(t, extremes(y, a, b, *summary), out);
    a = b + 1;
  }
  return out;
}

}  // namespace tarvio
