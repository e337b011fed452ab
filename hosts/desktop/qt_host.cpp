// File dialogs, the modal wait and the document opener.
#include "hosts/desktop/qt_host.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QUrl>

#include "ui/dialog.h"

namespace tarvio::desktop {

QString name_filter(const std::string& pattern) {
  static const std::pair<const char*, const char*> kTypes[] = {
      {"*.mat", "Parameter files"},
      {"*.wfm", "Waveform export files"},
      {"*.txt", "Text files"},
  };
  const QString all = "All files (*)";
  if (pattern.empty() || pattern == "*.*" || pattern == "*") return all;
  QString type = "Files";
  for (const auto& [p, name] : kTypes)
    if (pattern == p) type = name;
  return type + " (" + QString::fromStdString(pattern) + ");;" + all;
}

QWidget* QtFileChooser::parent() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return parent_ ? parent_() : nullptr;
}

std::optional<std::string> QtFileChooser::open_file(const std::string& title, const std::string& filter) {
  const QString f =
      QFileDialog::getOpenFileName(parent(), QString::fromStdString(title), QString(), name_filter(filter));
  if (f.isEmpty()) return std::nullopt;
  return f.toStdString();
}

std::optional<std::string> QtFileChooser::save_file(const std::string& title, const std::string& filter) {
  const QString f =
      QFileDialog::getSaveFileName(parent(), QString::fromStdString(title), QString(), name_filter(filter));
  if (f.isEmpty()) return std::nullopt;
  return f.toStdString();
}

void QtDialogWaiter::wait(ui::Dialog& dialog) {
  if (!dialog.is_open()) return;
  QEventLoop loop;
  const int id = dialog.subscribe([&](const std::string& tag) {
    if (tag.empty() && !dialog.is_open()) loop.quit();
  });
  if (dialog.is_open()) loop.exec();
  dialog.unsubscribe(id);
}

bool QtDocumentOpener::open(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace tarvio::desktop
