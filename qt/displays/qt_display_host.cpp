// The desktop's display host.
#include "qt/displays/qt_display_host.h"

#include <QGuiApplication>
#include <QScreen>

#include "qt/displays/window_thread.h"

namespace tarvio::qt {

QtDisplayHost::QtDisplayHost(QWidget* main_window) : main_(main_window) {}

QtDisplayHost::~QtDisplayHost() { close_all(); }

DisplayWindow* QtDisplayHost::window(double handle) const {
  auto it = windows_.find(handle);
  return it == windows_.end() ? nullptr : it->second.data();
}

std::vector<double> QtDisplayHost::handles() const {
  std::vector<double> out;
  for (const auto& [h, w] : windows_)
    if (w) out.push_back(h);
  return out;
}

double QtDisplayHost::open(Figure f, double parent) {
  double handle = 0;
  on_window_thread([&] { handle = open_here(std::move(f), parent); });
  return handle;
}

double QtDisplayHost::open_here(Figure f, double parent) {
  const double handle = next_++;
  QWidget* anchor = window(parent);
  if (!anchor) anchor = main_;
  auto* w = new DisplayWindow(std::move(f), main_);
  w->resize(640, 480);
  // Cascade from the parent's corner, kept on the parent's screen.
  const int step = 28 * int(windows_.size() % 8);
  QPoint at = anchor ? anchor->frameGeometry().topLeft() + QPoint(40 + step, 40 + step) : QPoint(60 + step, 60 + step);
  if (QScreen* s = anchor ? anchor->screen() : QGuiApplication::primaryScreen()) {
    const QRect avail = s->availableGeometry();
    at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() - w->width())));
    at.setY(std::clamp(at.y(), avail.top(), std::max(avail.top(), avail.bottom() - w->height())));
  }
  w->move(at);
  windows_[handle] = w;
  connect(w, &DisplayWindow::activated, this, [this, handle] { current_ = handle; });
  connect(w, &QObject::destroyed, this, [this, handle] { forget(handle); });
  current_ = handle;
  w->show();
  return handle;
}

void QtDisplayHost::forget(double handle) {
  windows_.erase(handle);
  if (current_ == handle) current_ = windows_.empty() ? 0 : windows_.rbegin()->first;
}

Figure* QtDisplayHost::figure(double handle) {
  Figure* f = nullptr;
  on_window_thread([&] {
    DisplayWindow* w = window(handle);
    f = w ? &w->canvas()->figure() : nullptr;
  });
  return f;
}

void QtDisplayHost::changed(double handle) {
  on_window_thread([&] {
    if (DisplayWindow* w = window(handle)) w->figure_changed();
  });
}

double QtDisplayHost::current() const {
  double h = 0;
  on_window_thread([&] { h = current_; });
  return h;
}

void QtDisplayHost::tool(double handle, FigureTool tool, ToolMode mode) {
  on_window_thread([&] { tool_here(handle, tool, mode); });
}

void QtDisplayHost::tool_here(double handle, FigureTool tool, ToolMode mode) {
  DisplayWindow* w = window(handle);
  if (!w) return;
  PlotCanvas* c = w->canvas();
  if (mode == ToolMode::Reset) {
    c->reset_view();
    return;
  }
  const bool now = tool == FigureTool::Zoom ? c->zoom_tool() : c->rotated();
  const bool on = mode == ToolMode::On || (mode == ToolMode::Toggle && !now);
  if (tool == FigureTool::Zoom)
    c->set_zoom_tool(on);
  else
    c->set_rotated(on);
}

bool QtDisplayHost::exists(double handle) const {
  bool found = false;
  on_window_thread([&] { found = window(handle) != nullptr; });
  return found;
}

void QtDisplayHost::close(double handle) {
  on_window_thread([&] {
    if (DisplayWindow* w = window(handle)) {
      w->close();  // deletes itself; `destroyed` forgets it
    }
    forget(handle);
  });
}

void QtDisplayHost::close_all() {
  for (double h : handles()) close(h);
}

}  // namespace tarvio::qt
