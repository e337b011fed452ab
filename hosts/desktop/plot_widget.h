// A plot control of a window (the subcarrier dialog's gains): the model's
// plot state painted as stems with the display windows' painter.
#pragma once

#include <QWidget>

#include "ui/window.h"

namespace tarvio::desktop {

class PlotWidget : public QWidget {
 public:
  explicit PlotWidget(QWidget* parent = nullptr);
  void set_plot(const ui::PlotState& plot);
  const ui::PlotState& plot() const { return plot_; }
  QSize sizeHint() const override { return {420, 260}; }
  QSize minimumSizeHint() const override { return {260, 180}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  ui::PlotState plot_;
};

}  // namespace tarvio::desktop
