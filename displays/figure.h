// What a display window shows, as plain data: a figure with its window name
// and one or more axes (a grid of subplots), each with limits, labels, grid,
// traces and an optional image. The display computations build figures, the
// window toolkit only paints them, and the CSV writer exports their traces,
// so everything a display shows can be tested without a screen.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "displays/iq_view.h"
#include "runtime/types.h"

namespace tarvio {

enum class LineStyle {
  Solid,
  Dashed,
  Points,  // one dot per point, no connecting line
};

enum class GridStyle { None, Solid, Dotted };

// One curve. Its points are (x(k), y[k]) for k < y.size(): x is either a row
// of its own (which may be longer than y; only its first y.size() values
// count) or the uniform spacing x0 + k * dx, so that a trace of tens of
// millions of samples does not carry a second row. Rows are shared, so
// copying a figure copies no samples. A NaN in y breaks the line.
struct Trace {
  std::string label;  // column name in exports, with its unit: "I (mV)"
  std::shared_ptr<const RVec> y;
  std::shared_ptr<const RVec> x;  // null: uniform spacing
  double x0 = 0;
  double dx = 1;
  uint32_t rgb = 0x0000FF;  // 0xRRGGBB
  LineStyle style = LineStyle::Solid;

  size_t size() const { return y ? y->size() : 0; }
  double x_at(size_t k) const { return x ? (*x)[k] : x0 + double(k) * dx; }
  // True when the x values never decrease (uniform traces with dx >= 0,
  // sorted rows), which lets a view reduce the trace per pixel column.
  bool x_ascending() const;
  // True when `other` has the same x values over its length.
  bool same_x(const Trace& other) const;
};

// A colour image over a rectangle of the axes, row 0 at y_lo: values are
// mapped linearly from [v_lo, v_hi] onto the view's colour scale.
struct ImageLayer {
  size_t cols = 0, rows = 0;
  std::vector<float> values;  // row-major, rows * cols
  double x_lo = 0, x_hi = 1, y_lo = 0, y_hi = 1;
  double v_lo = 0, v_hi = 1;
};

struct Limits {
  double lo = 0;
  double hi = 1;
  friend bool operator==(const Limits&, const Limits&) = default;
};

struct Axes {
  // Place in the window: cell `cell` (0-based, row by row) of a rows x cols
  // grid, as a subplot places it.
  int grid_rows = 1, grid_cols = 1, cell = 0;
  std::string title, xlabel, ylabel;
  Limits x, y;
  bool ylog = false;  // logarithmic vertical axis (limits must be > 0)
  GridStyle grid = GridStyle::None;
  std::vector<Trace> traces;
  std::optional<ImageLayer> image;
  std::string note;  // a text shown in the middle of the axes, e.g. "No Data"
};

struct Figure {
  std::string name;  // the window's name
  std::vector<Axes> axes;
  int current = -1;  // the axes that Title, Xlabel, Ylabel act on; -1 when none
};

// A trace over the row `y` with uniform x spacing.
Trace uniform_trace(std::string label, RVec y, double x0, double dx, uint32_t rgb = 0x0000FF);

// Limits [lo, hi] of the finite values of a row; {0, 0} when it has none.
Limits data_limits(const RVec& v);

// Limits usable for an axis: when lo and hi coincide (a flat trace, a single
// sample) they are moved apart by 1 each way, so that an axis always has a
// length.
Limits axis_limits(Limits l);

// Makes the axes at cell `cell` (0-based) of a rows x cols grid current,
// adding it when the figure has none there; axes of another grid that overlap
// that cell are removed, as a new subplot replaces what it covers. Returns
// the index of the current axes.
int subplot(Figure& f, int rows, int cols, int cell);

// Throws std::invalid_argument naming the display when a sample is not
// finite: a transform or an average over it would show nothing useful.
void require_finite(IqView x, const std::string& display);

// The current axes, added (one axes filling the window) when there is none.
Axes& current_axes(Figure& f);

}  // namespace tarvio
