// The figure tools' access to the desktop program's own windows: the
// model's windows through their views, the splash screen, the display
// windows by handle, and Qt's picture reader.
#pragma once

#include "displays/desktop_windows.h"

class QWidget;

namespace tarvio::desktop {

class DesktopApp;

class QtDesktopWindows : public DesktopWindows {
 public:
  explicit QtDesktopWindows(DesktopApp& app) : app_(app) {}
  std::string splash() override;
  bool exists(const std::string& window) const override;
  void raise(const std::string& window) override;
  void move(const std::string& window, const std::string& where, int x, int y) override;
  void scale_fonts(const std::string& window, double factor) override;
  Picture read_picture(const std::string& path) override;

 private:
  QWidget* widget(const std::string& window) const;
  DesktopApp& app_;
};

}  // namespace tarvio::desktop
