// A display window: one figure on a drawing area, with its own menus File
// (Print, Print Setup, Close), Edit (Copy) and Tools (Zoom, Rotate, Zoom
// Reset) and the figure's name as its title. It deletes itself when closed,
// which frees its samples.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QPrinter>
#include <memory>

#include "displays/figure.h"
#include "qt/displays/plot_canvas.h"

namespace tarvio::qt {

class DisplayWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit DisplayWindow(Figure f, QWidget* parent = nullptr);

  PlotCanvas* canvas() const { return canvas_; }
  // The figure changed from outside: new title, repaint.
  void figure_changed();

  // The menu commands, callable without their dialogs.
  void print_to(QPrinter& printer) const;  // the figure on one page
  void copy_to_clipboard();                // the window's picture

 signals:
  void activated();  // the window came to the front

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void print();
  void print_setup();
  void sync_tools();

  PlotCanvas* canvas_;
  QAction* zoom_;
  QAction* rotate_;
  std::unique_ptr<QPrinter> printer_;  // keeps Print Setup's choices for Print
};

}  // namespace tarvio::qt
