// The windows of the analysis displays belong to the desktop program. The
// library reaches them through this interface, which the desktop installs
// at start-up; without one (the command line, the unattended run) the
// figure tools fail with an error that says so.
#pragma once

#include <memory>
#include <string>

#include "displays/figure.h"

namespace tarvio {

enum class FigureTool { Zoom, Rotate };
enum class ToolMode { Toggle, On, Off, Reset };

// Window handles are positive numbers chosen by the host; 0 names no window.
class DisplayHost {
 public:
  virtual ~DisplayHost() = default;
  // Opens a window showing `f`, placed relative to the window `parent` (a
  // display's handle; any other value means the main window). Returns the
  // new window's handle.
  virtual double open(Figure f, double parent) = 0;
  // The figure of an open window, for the figure tools to change; null when
  // the handle names no open window.
  virtual Figure* figure(double handle) = 0;
  // Redraws a window after its figure has changed.
  virtual void changed(double handle) = 0;
  // The display the tools act on when given no handle: the one last opened
  // or brought to the front; 0 when none is open.
  virtual double current() const = 0;
  // Zoom: a drag in the axes zooms to the dragged rectangle, a click zooms
  // in, a right click zooms out. Rotate: the axes are shown turned a
  // quarter, x upwards. Reset returns the window to the figure's own limits
  // and orientation.
  virtual void tool(double handle, FigureTool tool, ToolMode mode) = 0;
  virtual bool exists(double handle) const = 0;
  virtual void close(double handle) = 0;
};

// Installs the host; returns the previous one (null: none).
std::shared_ptr<DisplayHost> set_display_host(std::shared_ptr<DisplayHost> host);
DisplayHost* display_host();

// The installed host; throws std::runtime_error naming `operation` when
// there is none.
DisplayHost& require_display_host(const std::string& operation);

}  // namespace tarvio
