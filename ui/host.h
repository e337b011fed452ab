// What the application model asks of the program that hosts it, besides
// messages and questions (those go through the Reporter, runtime/report.h):
// file names, the wait of a modal dialog and opening the user guide. A host
// installs the parts it has; each part left out has a plain default (no
// file chosen, dialogs answer "Cancel", the desktop's URL opener). The
// analysis displays are opened through their own operations, which reach
// the display windows the desktop installs (displays/display_host.h).
#pragma once

#include <memory>
#include <optional>
#include <string>

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

// Opens a path with the desktop's URL opener (xdg-open), without a shell.
class DesktopOpener : public DocumentOpener {
 public:
  bool open(const std::string& path) override;
};

struct Host {
  std::shared_ptr<FileChooser> files;      // none: every file question is cancelled
  std::shared_ptr<DialogWaiter> waiter;    // none: a modal call answers "Cancel"
  std::shared_ptr<DocumentOpener> opener;  // none: the desktop's URL opener
};

}  // namespace tarvio::ui
