// Painting a plot control.
#include "hosts/desktop/plot_widget.h"

#include <QPainter>
#include <cmath>
#include <memory>

#include "qt/displays/figure_painter.h"

namespace tarvio::desktop {

namespace {

// One stem per point (a line from 0 up to the value) and a dot on top.
Figure stem_figure(const ui::PlotState& s) {
  Axes a;
  a.title = s.title;
  a.xlabel = s.xlabel;
  a.ylabel = s.ylabel;
  a.x = {s.xmin, s.xmax};
  a.y = {s.ymin, s.ymax};
  a.grid = GridStyle::Dotted;
  auto sx = std::make_shared<RVec>(), sy = std::make_shared<RVec>();
  for (size_t k = 0; k < s.x.size() && k < s.y.size(); ++k) {
    sx->insert(sx->end(), {s.x[k], s.x[k], s.x[k]});
    sy->insert(sy->end(), {0.0, s.y[k], std::nan("")});
  }
  Trace stems;
  stems.x = sx;
  stems.y = sy;
  stems.rgb = 0x1F5FAF;
  Trace tops;
  tops.x = std::make_shared<RVec>(s.x);
  tops.y = std::make_shared<RVec>(s.y);
  tops.rgb = 0x1F5FAF;
  tops.style = LineStyle::Points;
  a.traces = {stems, tops};
  Figure f;
  f.axes.push_back(std::move(a));
  return f;
}

}  // namespace

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent) {}

void PlotWidget::set_plot(const ui::PlotState& plot) {
  plot_ = plot;
  update();
}

void PlotWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  qt::paint_figure(p, QRectF(rect()), stem_figure(plot_), qt::FigureView{});
}

}  // namespace tarvio::desktop
