// The desktop program's own windows (the main window, its dialogs, the
// splash screen and the about box) as the figure tools reach them: placing
// them on the screen, scaling their fonts, the splash screen, and the
// window toolkit's picture reader. The desktop installs this at start-up;
// without it (the command line, the unattended run) the tools fail with an
// error that says so.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tarvio {

// A picture as 8-bit red, green and blue planes, each rows x cols and
// column-major like every matrix of the library.
struct Picture {
  size_t rows = 0, cols = 0;
  std::vector<double> red, green, blue;
};

// Windows are named by the model's window tag ("figMain", "figMACconfig"),
// "figSplash" for the splash screen, or a display window's handle written
// as a number ("3").
class DesktopWindows {
 public:
  virtual ~DesktopWindows() = default;
  // Shows the splash screen centred on the screen (the same window when it
  // is open already) and returns its name.
  virtual std::string splash() = 0;
  virtual bool exists(const std::string& window) const = 0;
  // Brings a shown window to the front.
  virtual void raise(const std::string& window) = 0;
  // Places a window: "center", "north", "south", "east", "west",
  // "northeast", "northwest", "southeast", "southwest" on its screen,
  // "onscreen" (moved only as far as needed to be wholly visible), or, with
  // an empty `where`, its top left corner at x, y.
  virtual void move(const std::string& window, const std::string& where, int x, int y) = 0;
  // Multiplies the font size of the window and all its controls.
  virtual void scale_fonts(const std::string& window, double factor) = 0;
  // Reads a picture file (JPEG, PNG, BMP, ...); throws std::runtime_error
  // naming the file and the reason when it cannot.
  virtual Picture read_picture(const std::string& path) = 0;
};

// Installs the desktop's windows; returns the previous (null: none).
std::shared_ptr<DesktopWindows> set_desktop_windows(std::shared_ptr<DesktopWindows> w);
DesktopWindows* desktop_windows();
// The installed windows; throws std::runtime_error naming `operation` when
// no desktop is running.
DesktopWindows& require_desktop_windows(const std::string& operation);

}  // namespace tarvio
