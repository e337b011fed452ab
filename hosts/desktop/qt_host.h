// The model's host services on the desktop: file names through Qt's file
// dialogs with the file types of each question, the wait of a modal dialog
// through an event loop that runs until the dialog is answered, and the
// user guide opened with the desktop's viewer.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "ui/host.h"

namespace tarvio::desktop {

// "*.mat" -> "Parameter files (*.mat);;All files (*)", "*.*" -> "All files
// (*)": the name filter of a file dialog for the model's pattern.
QString name_filter(const std::string& pattern);

class QtFileChooser : public ui::FileChooser {
 public:
  explicit QtFileChooser(std::function<QWidget*()> parent = nullptr) : parent_(std::move(parent)) {}
  std::optional<std::string> open_file(const std::string& title, const std::string& filter) override;
  std::optional<std::string> save_file(const std::string& title, const std::string& filter) override;

 private:
  QWidget* parent() const;
  std::function<QWidget*()> parent_;
};

// Runs the window's events until the dialog is answered; the dialog's view
// shows it meanwhile.
class QtDialogWaiter : public ui::DialogWaiter {
 public:
  void wait(ui::Dialog& dialog) override;
};

class QtDocumentOpener : public ui::DocumentOpener {
 public:
  bool open(const std::string& path) override;
};

}  // namespace tarvio::desktop
