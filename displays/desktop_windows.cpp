// The installed desktop windows.
#include "displays/desktop_windows.h"

#include <stdexcept>

namespace tarvio {

namespace {

std::shared_ptr<DesktopWindows>& installed() {
  static std::shared_ptr<DesktopWindows> w;
  return w;
}

}  // namespace

std::shared_ptr<DesktopWindows> set_desktop_windows(std::shared_ptr<DesktopWindows> w) {
  std::shared_ptr<DesktopWindows> previous = std::move(installed());
  installed() = std::move(w);
  return previous;
}

DesktopWindows* desktop_windows() { return installed().get(); }

DesktopWindows& require_desktop_windows(const std::string& operation) {
  if (DesktopWindows* w = desktop_windows()) return *w;
  throw std::runtime_error(operation + ": no desktop windows in this program; " + operation +
                           " needs the desktop program (tarvio)");
}

}  // namespace tarvio
