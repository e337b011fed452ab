// Painting of figures with QPainter.
#include "qt/displays/figure_painter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cmath>

namespace tarvio::qt {

namespace {

// Limits that can be drawn: finite, increasing, and positive on a
// logarithmic axis.
Limits drawable(Limits l, bool log) {
  if (!std::isfinite(l.lo) || !std::isfinite(l.hi)) l = {0, 1};
  if (log) {
    if (l.hi <= 0) l.hi = 1;
    if (l.lo <= 0 || l.lo >= l.hi) l.lo = l.hi / 1000;
    return l;
  }
  return axis_limits(l.lo <= l.hi ? l : Limits{l.hi, l.lo});
}

struct Ticks {
  std::vector<double> at;
  std::vector<QString> text;
};

// Round steps of 1, 2 or 5 times a power of ten, about one per `spacing`
// pixels.
Ticks linear_ticks(Limits l, double pixels, double spacing) {
  Ticks t;
  const double span = l.hi - l.lo;
  const double raw = span / std::max(2.0, pixels / spacing);
  const double mag = std::pow(10, std::floor(std::log10(raw)));
  double step = 10 * mag;
  for (double m : {1.0, 2.0, 5.0})
    if (m * mag >= raw) {
      step = m * mag;
      break;
    }
  const int decimals = std::max(0, int(-std::floor(std::log10(step) + 1e-9)));
  const long first = long(std::ceil(l.lo / step - 1e-9)), last = long(std::floor(l.hi / step + 1e-9));
  for (long k = first; k <= last && t.at.size() < 100; ++k) {
    double v = double(k) * step;
    if (std::abs(v) < step * 1e-9) v = 0;  // no "-0"
    t.at.push_back(v);
    t.text.push_back(QString::number(v, 'f', decimals));
  }
  return t;
}

// Decades, thinned out when they would crowd.
Ticks log_ticks(Limits l, double pixels) {
  Ticks t;
  const int k0 = int(std::ceil(std::log10(l.lo) - 1e-9)), k1 = int(std::floor(std::log10(l.hi) + 1e-9));
  const int n = k1 - k0 + 1;
  const int every = std::max(1, int(std::ceil(n / std::max(2.0, pixels / 28))));
  for (int k = k0; k <= k1; k += every) {
    const double v = std::pow(10.0, k);
    t.at.push_back(v);
    t.text.push_back(k >= -4 && k <= 5 ? QString::number(v, 'f', std::max(0, -k)) : QString("1e%1").arg(k));
  }
  return t;
}

Ticks ticks_for(Limits l, bool log, double pixels, double spacing) {
  return log ? log_ticks(l, pixels) : linear_ticks(l, pixels, spacing);
}

QRectF cell_rect(const QRectF& area, const Axes& a) {
  const int rows = std::max(1, a.grid_rows), cols = std::max(1, a.grid_cols);
  const int r = a.cell / cols, c = a.cell % cols;
  const double w = area.width() / cols, h = area.height() / rows;
  return QRectF(area.left() + c * w, area.top() + r * h, w, h);
}

// What the two screen axes show: across is data y when rotated.
struct Sides {
  Limits across, up;
  bool across_log, up_log;
  std::string across_label, up_label;
};

Sides sides_of(const Axes& a, const FigureView& v, size_t i) {
  const Limits x = drawable(shown_x(a, v, i), false), y = drawable(shown_y(a, v, i), a.ylog);
  if (v.rotated) return {y, x, a.ylog, false, a.ylabel, a.xlabel};
  return {x, y, false, a.ylog, a.xlabel, a.ylabel};
}

struct Layout {
  QRectF plot;
  Ticks across, up;
};

Layout layout_axes(const QRectF& cell, const Axes& a, const FigureView& v, size_t i, const QFontMetricsF& fm) {
  const Sides s = sides_of(a, v, i);
  const double lh = fm.height();
  const double top = a.title.empty() ? lh : 2.2 * lh;
  const double bottom = (s.across_label.empty() ? 1.6 : 3.2) * lh;
  const double approx_h = std::max(10.0, cell.height() - top - bottom);
  Layout l;
  l.up = ticks_for(s.up, s.up_log, approx_h, 3 * lh);
  double label_w = 0;
  for (const QString& t : l.up.text) label_w = std::max(label_w, fm.horizontalAdvance(t));
  const double left = label_w + 8 + (s.up_label.empty() ? 0.5 : 1.8) * lh;
  const double right = std::max(16.0, fm.horizontalAdvance("00000") / 2 + 4);
  l.plot = QRectF(cell.left() + left, cell.top() + top, std::max(10.0, cell.width() - left - right), approx_h);
  l.across = ticks_for(s.across, s.across_log, l.plot.width(), 6 * fm.horizontalAdvance("0"));
  return l;
}

QColor colour(uint32_t rgb) { return QColor(int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF)); }

// Dark blue, blue, cyan, yellow, red over t in [0, 1].
QRgb colour_scale(double t) {
  static const double stops[5][3] = {{0, 0, 128}, {0, 0, 255}, {0, 255, 255}, {255, 255, 0}, {255, 0, 0}};
  t = std::clamp(std::isfinite(t) ? t : 0.0, 0.0, 1.0) * 4;
  const int i = std::min(3, int(t));
  const double f = t - i;
  auto mix = [&](int c) { return int(stops[i][c] + (stops[i + 1][c] - stops[i][c]) * f); };
  return qRgb(mix(0), mix(1), mix(2));
}

// Cuts the segment a-b to the box; false when nothing of it is inside.
bool clip_segment(QPointF& a, QPointF& b, const QRectF& box) {
  double t0 = 0, t1 = 1;
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(), box.bottom() - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, r);
    else
      t1 = std::min(t1, r);
    if (t0 > t1) return false;
  }
  const QPointF a0 = a;
  a = QPointF(a0.x() + t0 * dx, a0.y() + t0 * dy);
  b = QPointF(a0.x() + t1 * dx, a0.y() + t1 * dy);
  return true;
}

// Draws a polyline of device points, broken at NaN, cut to a box a little
// larger than the plot so that the painter never sees far-away coordinates.
void draw_line(QPainter& p, const std::vector<QPointF>& pts, const QRectF& box) {
  QPolygonF run;
  auto flush = [&] {
    if (run.size() >= 2) p.drawPolyline(run);
    if (run.size() == 1) p.drawPoint(run[0]);
    run.clear();
  };
  for (size_t i = 0; i + 1 < pts.size(); ++i) {
    QPointF a = pts[i], b = pts[i + 1];
    if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) || !std::isfinite(b.y())) {
      flush();
      continue;
    }
    const bool inside_a = box.contains(a), inside_b = box.contains(b);
    if (inside_a && inside_b) {
      if (run.isEmpty()) run << a;
      run << b;
      continue;
    }
    if (!clip_segment(a, b, box)) {
      flush();
      continue;
    }
    if (!inside_a) flush();
    if (run.isEmpty()) run << a;
    run << b;
    if (!inside_b) flush();
  }
  if (pts.size() == 1 && box.contains(pts[0])) run << pts[0];
  flush();
}

// Points are set into an image of the plot area, one pixel each, so that
// millions of points cost one pass.
void draw_points(QPainter& p, const std::vector<QPointF>& pts, const QRectF& plot, QColor c) {
  const QRect r = plot.toAlignedRect();
  QImage img(r.size(), QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  const QRgb px = c.rgba();
  for (const QPointF& q : pts) {
    if (!std::isfinite(q.x()) || !std::isfinite(q.y())) continue;
    const int x = int(std::floor(q.x())) - r.left(), y = int(std::floor(q.y())) - r.top();
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx)
        if (x + dx >= 0 && y + dy >= 0 && x + dx < img.width() && y + dy < img.height())
          reinterpret_cast<QRgb*>(img.scanLine(y + dy))[x + dx] = px;
  }
  p.drawImage(r.topLeft(), img);
}

void draw_image(QPainter& p, const ImageLayer& im, const AxesMapping& m, bool rotated) {
  if (im.cols == 0 || im.rows == 0 || im.values.size() < im.cols * im.rows) return;
  const double span = im.v_hi > im.v_lo ? im.v_hi - im.v_lo : 1;
  // Rows go up the y axis; in the rotated view the image is transposed.
  const int w = int(rotated ? im.rows : im.cols), h = int(rotated ? im.cols : im.rows);
  QImage img(w, h, QImage::Format_RGB32);
  for (size_t r = 0; r < im.rows; ++r)
    for (size_t c = 0; c < im.cols; ++c) {
      const QRgb v = colour_scale((im.values[r * im.cols + c] - im.v_lo) / span);
      if (rotated)
        img.setPixel(int(r), int(im.cols - 1 - c), v);
      else
        img.setPixel(int(c), int(im.rows - 1 - r), v);
    }
  const QRectF target = QRectF(m.to_device(im.x_lo, im.y_lo), m.to_device(im.x_hi, im.y_hi)).normalized();
  p.drawImage(target, img);
}

void paint_axes(QPainter& p, const Axes& a, size_t index, const Layout& l, const FigureView& v,
                const PointSource& points, const QFontMetricsF& fm) {
  const Sides s = sides_of(a, v, index);
  const QRectF& plot = l.plot;
  const Limits xl = drawable(shown_x(a, v, index), false), yl = drawable(shown_y(a, v, index), a.ylog);
  const AxesMapping m(plot, xl, yl, a.ylog, v.rotated);
  auto across_at = [&](double value) {
    return v.rotated ? m.to_device(xl.lo, value).x() : m.to_device(value, yl.lo).x();
  };
  auto up_at = [&](double value) { return v.rotated ? m.to_device(value, yl.lo).y() : m.to_device(xl.lo, value).y(); };

  // Grid lines under the data.
  if (a.grid != GridStyle::None) {
    QPen grid(QColor(190, 190, 190), 0, a.grid == GridStyle::Dotted ? Qt::DotLine : Qt::SolidLine);
    p.setPen(grid);
    for (double t : l.across.at) p.drawLine(QPointF(across_at(t), plot.top()), QPointF(across_at(t), plot.bottom()));
    for (double t : l.up.at) p.drawLine(QPointF(plot.left(), up_at(t)), QPointF(plot.right(), up_at(t)));
  }

  p.save();
  p.setClipRect(plot);
  if (a.image) draw_image(p, *a.image, m, v.rotated);
  const QRectF guard = plot.adjusted(-8, -8, 8, 8);
  for (const Trace& t : a.traces) {
    const std::vector<PlotPoint> pts = points(t, xl.lo, xl.hi, m.x_pixels());
    std::vector<QPointF> dev(pts.size());
    for (size_t k = 0; k < pts.size(); ++k) dev[k] = m.to_device(pts[k].x, pts[k].y);
    const QColor c = colour(t.rgb);
    if (t.style == LineStyle::Points) {
      draw_points(p, dev, plot, c);
      continue;
    }
    p.setPen(QPen(c, 0, t.style == LineStyle::Dashed ? Qt::DashLine : Qt::SolidLine));
    draw_line(p, dev, guard);
  }
  p.restore();

  // Frame, ticks and their labels.
  p.setPen(QPen(Qt::black, 0));
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot);
  for (size_t k = 0; k < l.across.at.size(); ++k) {
    const double x = across_at(l.across.at[k]);
    p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() - 4));
    const double w = fm.horizontalAdvance(l.across.text[k]);
    p.drawText(QPointF(x - w / 2, plot.bottom() + fm.ascent() + 4), l.across.text[k]);
  }
  for (size_t k = 0; k < l.up.at.size(); ++k) {
    const double y = up_at(l.up.at[k]);
    p.drawLine(QPointF(plot.left(), y), QPointF(plot.left() + 4, y));
    const double w = fm.horizontalAdvance(l.up.text[k]);
    p.drawText(QPointF(plot.left() - w - 6, y + fm.ascent() / 2 - 1), l.up.text[k]);
  }
  if (!s.across_label.empty()) {
    const QString t = QString::fromStdString(s.across_label);
    p.drawText(
        QPointF(plot.center().x() - fm.horizontalAdvance(t) / 2, plot.bottom() + 1.8 * fm.height() + fm.ascent()), t);
  }
  if (!s.up_label.empty()) {
    const QString t = QString::fromStdString(s.up_label);
    double label_w = 0;
    for (const QString& u : l.up.text) label_w = std::max(label_w, fm.horizontalAdvance(u));
    p.save();
    p.translate(plot.left() - label_w - 10 - fm.descent(), plot.center().y() + fm.horizontalAdvance(t) / 2);
    p.rotate(-90);
    p.drawText(QPointF(0, 0), t);
    p.restore();
  }
  if (!a.title.empty()) {
    QFont bold = p.font();
    bold.setBold(true);
    p.save();
    p.setFont(bold);
    const QFontMetricsF bm(bold, p.device());
    const QString t = QString::fromStdString(a.title);
    p.drawText(QPointF(plot.center().x() - bm.horizontalAdvance(t) / 2, plot.top() - 0.6 * bm.height()), t);
    p.restore();
  }
  if (!a.note.empty()) {
    QFont big = p.font();
    big.setPointSizeF(big.pointSizeF() * 2);
    p.save();
    p.setFont(big);
    p.drawText(plot, Qt::AlignCenter, QString::fromStdString(a.note));
    p.restore();
  }
}

}  // namespace

std::vector<PlotPoint> plain_points(const Trace& t, double x_lo, double x_hi, int columns) {
  return envelope(t, x_lo, x_hi, columns);
}

Limits shown_x(const Axes& a, const FigureView& v, size_t index) {
  return index < v.axes.size() && v.axes[index].x ? *v.axes[index].x : a.x;
}

Limits shown_y(const Axes& a, const FigureView& v, size_t index) {
  return index < v.axes.size() && v.axes[index].y ? *v.axes[index].y : a.y;
}

AxesMapping::AxesMapping(const QRectF& plot, Limits x, Limits y, bool ylog, bool rotated)
    : plot_(plot), x_(drawable(x, false)), y_(drawable(y, ylog)), ylog_(ylog), rotated_(rotated) {}

double AxesMapping::along(double v, Limits l, bool log) const {
  if (!log) return (v - l.lo) / (l.hi - l.lo);
  if (!(v > 0)) return 0;  // zero and below sit on the floor of a logarithmic axis
  return (std::log10(v) - std::log10(l.lo)) / (std::log10(l.hi) - std::log10(l.lo));
}

double AxesMapping::value_at(double t, Limits l, bool log) const {
  if (!log) return l.lo + t * (l.hi - l.lo);
  return std::pow(10, std::log10(l.lo) + t * (std::log10(l.hi) - std::log10(l.lo)));
}

QPointF AxesMapping::to_device(double x, double y) const {
  if (std::isnan(x) || std::isnan(y)) return QPointF(NAN, NAN);
  const double tx = along(x, x_, false), ty = along(y, y_, ylog_);
  const double across = rotated_ ? ty : tx, up = rotated_ ? tx : ty;
  return QPointF(plot_.left() + across * plot_.width(), plot_.bottom() - up * plot_.height());
}

void AxesMapping::to_data(const QPointF& p, double& x, double& y) const {
  const double across = (p.x() - plot_.left()) / plot_.width(), up = (plot_.bottom() - p.y()) / plot_.height();
  x = value_at(rotated_ ? up : across, x_, false);
  y = value_at(rotated_ ? across : up, y_, ylog_);
}

int AxesMapping::x_pixels() const { return std::max(1, int(std::lround(rotated_ ? plot_.height() : plot_.width()))); }

std::vector<QRectF> plot_areas(const QRectF& area, const Figure& f, const FigureView& v, const QFont& font,
                               QPaintDevice* device) {
  const QFontMetricsF fm(font, device);
  std::vector<QRectF> out;
  for (size_t i = 0; i < f.axes.size(); ++i)
    out.push_back(layout_axes(cell_rect(area, f.axes[i]), f.axes[i], v, i, fm).plot);
  return out;
}

void paint_figure(QPainter& p, const QRectF& area, const Figure& f, const FigureView& v, const PointSource& points) {
  p.save();
  p.fillRect(area, Qt::white);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QFontMetricsF fm(p.font(), p.device());
  for (size_t i = 0; i < f.axes.size(); ++i) {
    const Axes& a = f.axes[i];
    paint_axes(p, a, i, layout_axes(cell_rect(area, a), a, v, i, fm), v, points, fm);
  }
  p.restore();
}

}  // namespace tarvio::qt
