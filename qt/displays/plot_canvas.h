// The drawing area of a display window: paints its figure, keeps the
// reduced traces of the last paint so that repainting a window of tens of
// millions of samples is quick, and carries the zoom and rotate tools.
#pragma once

#include <QImage>
#include <QPointer>
#include <QRubberBand>
#include <QWidget>
#include <map>
#include <memory>

#include "displays/figure.h"
#include "qt/displays/figure_painter.h"

namespace tarvio::qt {

class PlotCanvas : public QWidget {
  Q_OBJECT

 public:
  explicit PlotCanvas(Figure f, QWidget* parent = nullptr);

  Figure& figure() { return figure_; }
  const Figure& figure() const { return figure_; }
  const FigureView& view() const { return view_; }

  // After the figure was changed from outside: forget the reduced traces
  // and the zoom of axes that no longer exist, and repaint.
  void figure_changed();

  // Zoom tool: while on, a drag in an axes zooms to the dragged rectangle
  // (one direction only when the drag is flat), a click zooms in twice
  // around the point and a right click zooms out twice.
  void set_zoom_tool(bool on);
  bool zoom_tool() const { return zoom_tool_; }
  // Rotate: every axes turned a quarter, x upwards.
  void set_rotated(bool on);
  bool rotated() const { return view_.rotated; }
  // Back to the figure's own limits and orientation.
  void reset_view();

  // The zoom steps themselves, in widget coordinates.
  void zoom_around(size_t axes, QPointF at, double factor);
  void zoom_to(size_t axes, QRectF rect);
  // The axes whose plotting area holds the point; -1 when none.
  int axes_at(QPointF at) const;
  std::vector<QRectF> plot_areas() const;

  // The figure as the widget shows it, painted into `area` of a painter.
  void render_into(QPainter& p, const QRectF& area) const;
  // A picture of `size` logical pixels at `scale` device pixels each.
  QImage picture(QSize size, qreal scale = 1) const;

  QSize sizeHint() const override { return {640, 480}; }

 signals:
  void view_changed();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  std::vector<PlotPoint> reduced(const Trace& t, double lo, double hi, int columns) const;
  void set_limits(size_t axes, std::optional<Limits> x, std::optional<Limits> y);

  Figure figure_;
  FigureView view_;
  bool zoom_tool_ = false;
  // Drag of the zoom tool.
  QPointer<QRubberBand> band_;
  QPoint drag_from_;
  int drag_axes_ = -1;
  // Reduced traces by their sample row, for the limits and width they were
  // reduced for.
  struct Reduced {
    double lo, hi;
    int columns;
    std::vector<PlotPoint> points;
  };
  mutable std::map<const RVec*, Reduced> cache_;
  // Block summaries of long traces, made at their first drawing.
  mutable std::map<const RVec*, std::unique_ptr<TraceSummary>> summaries_;
};

}  // namespace tarvio::qt
