// Reduction of a long trace to what a screen can show: per pixel column the
// first, smallest, largest and last value, in the order they occur. A line
// through these points covers exactly the pixels a line through every
// sample would, so a trace of tens of millions of samples draws as a few
// thousand points.
#pragma once

#include <cstdint>
#include <vector>

#include "displays/figure.h"

namespace tarvio {

struct PlotPoint {
  double x, y;
};

// Where the smallest and largest value of each block of kBlock samples of a
// row lie, so that a window can redraw (resize, zoom) a long trace by
// visiting blocks instead of samples. Made once per trace, in one pass.
class TraceSummary {
 public:
  static constexpr size_t kBlock = 256;
  explicit TraceSummary(const RVec& y);
  // Offsets within block b of its first smallest and first largest value;
  // -1 when the block holds only NaN.
  int16_t min_at(size_t b) const { return min_[b]; }
  int16_t max_at(size_t b) const { return max_[b]; }
  size_t blocks() const { return min_.size(); }

 private:
  std::vector<int16_t> min_, max_;
};

// The points of `t` to draw when [x_lo, x_hi] spans `columns` pixels. The
// samples just outside the range are included so that the line runs to the
// edges. A trace whose x values are not ascending, or with no more than four
// samples per column in view, comes back whole (or its part in view);
// otherwise each column gives at most four points. NaN values are left out
// of the reduction (they break the line only where a trace is drawn whole).
// A summary of the trace's row, when given, gives the same points faster.
std::vector<PlotPoint> envelope(const Trace& t, double x_lo, double x_hi, int columns,
                                const TraceSummary* summary = nullptr);

}  // namespace tarvio
