// Painting of a figure with QPainter: the axes grid, frames, ticks, grid
// lines, labels, traces (reduced per pixel column), images and notes. The
// display windows, printing and the PNG files all paint through here, so
// the screen, the paper and the file show the same picture.
#pragma once

#include <QPainter>
#include <QRectF>
#include <functional>
#include <optional>
#include <vector>

#include "displays/envelope.h"
#include "displays/figure.h"

namespace tarvio::qt {

// What the viewer has changed on top of the figure: zoomed limits per axes
// and the quarter turn (x upwards, y across).
struct AxesView {
  std::optional<Limits> x, y;
};
struct FigureView {
  std::vector<AxesView> axes;  // by axes index; missing entries change nothing
  bool rotated = false;
};

// The points of a trace to draw for a view of [x_lo, x_hi] over `columns`
// pixels; a window may answer from a cache.
using PointSource = std::function<std::vector<PlotPoint>(const Trace&, double x_lo, double x_hi, int columns)>;

// The reduction without a cache: envelope() of the trace.
std::vector<PlotPoint> plain_points(const Trace& t, double x_lo, double x_hi, int columns);

// The limits an axes is shown with: the viewer's, else the figure's.
Limits shown_x(const Axes& a, const FigureView& v, size_t index);
Limits shown_y(const Axes& a, const FigureView& v, size_t index);

// Where each axes' plotting area lies when the figure fills `area` of a
// painter with this font and device.
std::vector<QRectF> plot_areas(const QRectF& area, const Figure& f, const FigureView& v, const QFont& font,
                               QPaintDevice* device);

// Maps between data values and device coordinates inside one plot area.
class AxesMapping {
 public:
  AxesMapping(const QRectF& plot, Limits x, Limits y, bool ylog, bool rotated);
  QPointF to_device(double x, double y) const;
  // The data point under a device point.
  void to_data(const QPointF& p, double& x, double& y) const;
  // The number of device pixels along the data x axis.
  int x_pixels() const;

 private:
  double along(double v, Limits l, bool log) const;     // 0..1 along an axis
  double value_at(double t, Limits l, bool log) const;  // the inverse
  QRectF plot_;
  Limits x_, y_;
  bool ylog_, rotated_;
};

// Paints the whole figure into `area` (white background included).
void paint_figure(QPainter& p, const QRectF& area, const Figure& f, const FigureView& v,
                  const PointSource& points = plain_points);

}  // namespace tarvio::qt
