// The desktop's display host: opens each figure in a DisplayWindow placed
// beside the main window, hands out their handles and keeps track of the one
// in front. Install it with set_display_host() once the main window exists;
// the figure tools then act on these windows.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <map>
#include <vector>

#include "displays/display_host.h"
#include "qt/displays/display_window.h"

namespace tarvio::qt {

class QtDisplayHost : public QObject, public DisplayHost {
  Q_OBJECT

 public:
  // `main_window` is the parent the windows are placed against (may be null).
  explicit QtDisplayHost(QWidget* main_window = nullptr);
  ~QtDisplayHost() override;

  // Called from another thread (a display computed off the window's
  // thread), each of these runs on the window's thread and waits there.
  // A figure handed out may be changed only on the window's thread.
  double open(Figure f, double parent) override;
  Figure* figure(double handle) override;
  void changed(double handle) override;
  double current() const override;
  void tool(double handle, FigureTool tool, ToolMode mode) override;
  bool exists(double handle) const override;
  void close(double handle) override;

  DisplayWindow* window(double handle) const;
  std::vector<double> handles() const;  // the open windows, oldest first
  void close_all();

 private:
  double open_here(Figure f, double parent);
  void tool_here(double handle, FigureTool tool, ToolMode mode);
  void forget(double handle);

  QPointer<QWidget> main_;
  std::map<double, QPointer<DisplayWindow>> windows_;
  double next_ = 1;
  double current_ = 0;
};

}  // namespace tarvio::qt
