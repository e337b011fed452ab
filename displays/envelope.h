// Reduction of a long trace to what a screen can show: per pixel column the
// first, smallest, largest and last value, in the order they occur. A line
// through these points covers exactly the pixels a line through every
// sample would, so a trace of tens of millions of samples draws as a few
// thousand points.
#pragma once

#include <vector>

#include "displays/figure.h"

namespace tarvio {

struct PlotPoint {
  double x, y;
};

// The points of `t` to draw when [x_lo, x_hi] spans `columns` pixels. The
// samples just outside the range are included so that the line runs to the
// edges. A trace whose x values are not ascending, or with no more than four
// samples per column in view, comes back whole (or its part in view);
// otherwise each column gives at most four points. NaN values are left out
// of the reduction (they break the line only where a trace is drawn whole).
std::vector<PlotPoint> envelope(const Trace& t, double x_lo, double x_hi, int columns);

}  // namespace tarvio
