// The drawing area of a display window.
#include "qt/displays/plot_canvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tarvio::qt {

PlotCanvas::PlotCanvas(Figure f, QWidget* parent) : QWidget(parent), figure_(std::move(f)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(240, 180);
}

void PlotCanvas::figure_changed() {
  cache_.clear();
  summaries_.clear();
  if (view_.axes.size() > figure_.axes.size()) view_.axes.resize(figure_.axes.size());
  update();
  emit view_changed();
}

void PlotCanvas::set_zoom_tool(bool on) {
  zoom_tool_ = on;
  setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
  emit view_changed();
}

void PlotCanvas::set_rotated(bool on) {
  if (view_.rotated == on) return;
  view_.rotated = on;
  update();
  emit view_changed();
}

void PlotCanvas::reset_view() {
  view_ = FigureView{};
  update();
  emit view_changed();
}

std::vector<PlotPoint> PlotCanvas::reduced(const Trace& t, double lo, double hi, int columns) const {
  if (!t.y) return {};
  auto it = cache_.find(t.y.get());
  if (it != cache_.end() && it->second.lo == lo && it->second.hi == hi && it->second.columns == columns)
    return it->second.points;
  // Long uniform traces get a block summary, so that later redraws visit
  // blocks rather than samples.
  const TraceSummary* summary = nullptr;
  if (!t.x && t.size() > 64 * TraceSummary::kBlock) {
    std::unique_ptr<TraceSummary>& s = summaries_[t.y.get()];
    if (!s) s = std::make_unique<TraceSummary>(*t.y);
    summary = s.get();
  }
  Reduced r{lo, hi, columns, envelope(t, lo, hi, columns, summary)};
  std::vector<PlotPoint> pts = r.points;
  cache_[t.y.get()] = std::move(r);
  return pts;
}

void PlotCanvas::render_into(QPainter& p, const QRectF& area) const {
  paint_figure(p, area, figure_, view_,
               [this](const Trace& t, double lo, double hi, int columns) { return reduced(t, lo, hi, columns); });
}

QImage PlotCanvas::picture(QSize size, qreal scale) const {
  QImage img(size * scale, QImage::Format_RGB32);
  img.setDevicePixelRatio(scale);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setFont(font());
  render_into(p, QRectF(QPointF(0, 0), QSizeF(size)));
  return img;
}

std::vector<QRectF> PlotCanvas::plot_areas() const {
  return qt::plot_areas(QRectF(rect()), figure_, view_, font(), const_cast<PlotCanvas*>(this));
}

int PlotCanvas::axes_at(QPointF at) const {
  const std::vector<QRectF> areas = plot_areas();
  for (size_t i = 0; i < areas.size(); ++i)
    if (areas[i].contains(at)) return int(i);
  return -1;
}

void PlotCanvas::paintEvent(QPaintEvent*) {
  QPainter p(this);
  render_into(p, QRectF(rect()));
}

void PlotCanvas::set_limits(size_t axes, std::optional<Limits> x, std::optional<Limits> y) {
  if (axes >= figure_.axes.size()) return;
  if (view_.axes.size() <= axes) view_.axes.resize(axes + 1);
  if (x) view_.axes[axes].x = x;
  if (y) view_.axes[axes].y = y;
  update();
  emit view_changed();
}

namespace {

// Limits scaled by `factor` around `at`, on a linear or logarithmic axis.
Limits scaled(Limits l, double at, double factor, bool log) {
  if (log && l.lo > 0 && at > 0) {
    const double a = std::log10(at), lo = std::log10(l.lo), hi = std::log10(l.hi);
    return {std::pow(10, a - (a - lo) * factor), std::pow(10, a + (hi - a) * factor)};
  }
  return {at - (at - l.lo) * factor, at + (l.hi - at) * factor};
}

}  // namespace

void PlotCanvas::zoom_around(size_t axes, QPointF at, double factor) {
  const std::vector<QRectF> areas = plot_areas();
  if (axes >= areas.size()) return;
  const Axes& a = figure_.axes[axes];
  const Limits xl = shown_x(a, view_, axes), yl = shown_y(a, view_, axes);
  const AxesMapping m(areas[axes], xl, yl, a.ylog, view_.rotated);
  double x, y;
  m.to_data(at, x, y);
  set_limits(axes, scaled(xl, x, factor, false), scaled(yl, y, factor, a.ylog));
}

void PlotCanvas::zoom_to(size_t axes, QRectF rect) {
  const std::vector<QRectF> areas = plot_areas();
  if (axes >= areas.size()) return;
  // Kept inside the plotting area (by hand: a flat rectangle counts as empty
  // to QRectF::intersected).
  const QRectF& area = areas[axes];
  rect = rect.normalized();
  rect = QRectF(
      QPointF(std::clamp(rect.left(), area.left(), area.right()), std::clamp(rect.top(), area.top(), area.bottom())),
      QPointF(std::clamp(rect.right(), area.left(), area.right()),
              std::clamp(rect.bottom(), area.top(), area.bottom())));
  if (rect.width() <= 4 && rect.height() <= 4) return;
  const Axes& a = figure_.axes[axes];
  const AxesMapping m(areas[axes], shown_x(a, view_, axes), shown_y(a, view_, axes), a.ylog, view_.rotated);
  double x0, y0, x1, y1;
  m.to_data(rect.bottomLeft(), x0, y0);
  m.to_data(rect.topRight(), x1, y1);
  // A flat drag zooms along its own direction only.
  const bool across = rect.width() > 4, up = rect.height() > 4;
  const bool zoom_x = view_.rotated ? up : across, zoom_y = view_.rotated ? across : up;
  std::optional<Limits> xl, yl;
  if (zoom_x) xl = Limits{std::min(x0, x1), std::max(x0, x1)};
  if (zoom_y) yl = Limits{std::min(y0, y1), std::max(y0, y1)};
  set_limits(axes, xl, yl);
}

void PlotCanvas::mousePressEvent(QMouseEvent* e) {
  if (!zoom_tool_) return QWidget::mousePressEvent(e);
  const int axes = axes_at(e->position());
  if (axes < 0) return;
  if (e->button() == Qt::RightButton) {
    zoom_around(size_t(axes), e->position(), 2);
    return;
  }
  if (e->button() != Qt::LeftButton) return;
  drag_axes_ = axes;
  drag_from_ = e->position().toPoint();
  if (!band_) band_ = new QRubberBand(QRubberBand::Rectangle, this);
  band_->setGeometry(QRect(drag_from_, QSize()));
  band_->show();
}

void PlotCanvas::mouseMoveEvent(QMouseEvent* e) {
  if (drag_axes_ >= 0 && band_) band_->setGeometry(QRect(drag_from_, e->position().toPoint()).normalized());
}

void PlotCanvas::mouseReleaseEvent(QMouseEvent* e) {
  if (drag_axes_ < 0 || e->button() != Qt::LeftButton) return;
  const size_t axes = size_t(drag_axes_);
  drag_axes_ = -1;
  if (band_) band_->hide();
  const QRect r = QRect(drag_from_, e->position().toPoint()).normalized();
  if (r.width() > 4 || r.height() > 4)
    zoom_to(axes, r);
  else
    zoom_around(axes, e->position(), 0.5);
}

}  // namespace tarvio::qt
