// What the application model asks of the program that hosts it, besides
// messages and questions (those go through the Reporter, runtime/report.h):
// file names, the wait of a modal dialog, opening the user guide, and the
// analysis displays. A host installs the parts it has; each part left out
// has a plain default (no file chosen, dialogs answer "Cancel", no display).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "runtime/types.h"

namespace tarvio::ui {

class Dialog;

// Asks the user for a file name. `filter` is a pattern such as "*.mat";
// nothing comes back when the user cancels.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  virtual std::optional<std::string> open_file(const std::string& title, const std::string& filter) = 0;
  virtual std::optional<std::string> save_file(const std::string& title, const std::string& filter) = 0;
};

// The wait of a modal dialog. wait() returns when the dialog has been
// answered (OK, Cancel or its close control) or the host gives up; a dialog
// still open then counts as cancelled. A desktop host runs its event loop
// here; a scripted host applies its queued actions to the dialog.
class DialogWaiter {
 public:
  virtual ~DialogWaiter() = default;
  virtual void wait(Dialog& dialog) = 0;
};

// Opens a document (the user guide) with the desktop's viewer; false when
// that failed.
class DocumentOpener {
 public:
  virtual ~DocumentOpener() = default;
  virtual bool open(const std::string& path) = 0;
};

// The analysis displays of the Plot menu.
enum class DisplayKind { Spectrum, Waterfall, IQTime, IQTimeSameAxes, EyeDiagram, ScatterDiagram, CCDF };
const char* display_name(DisplayKind k);  // "spectrum", "iq", ...

class DisplayHost {
 public:
  virtual ~DisplayHost() = default;
  // Opens a display of the samples (I = real part) at the sample rate in Hz
  // under the title; returns the new window's handle.
  virtual std::string open(DisplayKind kind, const std::string& title, const CVec& samples, double sample_rate) = 0;
  // Closes a display window when it still exists.
  virtual void close(const std::string& handle) = 0;
};

// Opens a path with the desktop's URL opener (xdg-open), without a shell.
class DesktopOpener : public DocumentOpener {
 public:
  bool open(const std::string& path) override;
};

struct Host {
  std::shared_ptr<FileChooser> files;      // none: every file question is cancelled
  std::shared_ptr<DialogWaiter> waiter;    // none: a modal call answers "Cancel"
  std::shared_ptr<DocumentOpener> opener;  // none: the desktop's URL opener
  std::shared_ptr<DisplayHost> displays;   // none: the Plot menu says displays need the desktop
};

}  // namespace tarvio::ui
