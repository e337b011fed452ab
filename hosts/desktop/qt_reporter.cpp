// Message boxes for the model's messages and questions.
#include "hosts/desktop/qt_reporter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <map>

namespace tarvio::desktop {

namespace {

QMessageBox::Icon icon(MessageKind k) {
  switch (k) {
    case MessageKind::Error:
      return QMessageBox::Critical;
    case MessageKind::Warning:
      return QMessageBox::Warning;
    case MessageKind::Info:
    case MessageKind::Help:
      return QMessageBox::Information;
    case MessageKind::Plain:
      return QMessageBox::NoIcon;
  }
  return QMessageBox::NoIcon;
}

// Boxes show their texts as written: line feeds break lines, nothing is
// read as markup.
void texts(QMessageBox& box, const std::string& title, const std::string& text) {
  box.setTextFormat(Qt::PlainText);
  box.setWindowTitle(QString::fromStdString(title));
  box.setText(QString::fromStdString(text));
}

}  // namespace

QtReporter::QtReporter(std::function<QWidget*()> parent) : parent_(std::move(parent)) {}

QWidget* QtReporter::parent() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return parent_ ? parent_() : nullptr;
}

void QtReporter::show(const Message& m) {
  QMessageBox box(parent());
  box.setObjectName("messageBox");
  texts(box, m.title, m.text);
  box.setIcon(icon(m.kind));
  box.setStandardButtons(QMessageBox::Ok);
  // Every message waits for the user, the non-modal ones too; they only
  // leave the other windows usable meanwhile.
  if (!m.modal) box.setWindowModality(Qt::NonModal);
  box.exec();
}

std::string QtReporter::ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                            const std::string& default_button) {
  QMessageBox box(parent());
  box.setObjectName("questionBox");
  texts(box, title, text);
  box.setIcon(QMessageBox::Question);
  std::map<QAbstractButton*, std::string> answers;
  for (const std::string& b : buttons) {
    // "&" in a button's text marks a shortcut letter; the answers show it
    // as written ("Calculate & Download").
    QPushButton* p = box.addButton(QString::fromStdString(b).replace("&", "&&"), QMessageBox::AcceptRole);
    answers[p] = b;
    if (b == default_button) box.setDefaultButton(p);
  }
  // Closing the box is an answer of its own: a hidden button takes the
  // close control and Escape.
  QPushButton* closed = box.addButton(QString(), QMessageBox::RejectRole);
  closed->setObjectName("closeAnswer");
  closed->hide();
  box.setEscapeButton(closed);
  box.exec();
  auto chosen = answers.find(box.clickedButton());
  return chosen == answers.end() ? "" : chosen->second;
}

}  // namespace tarvio::desktop
