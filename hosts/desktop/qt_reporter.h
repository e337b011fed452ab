// Messages and questions of the application model as Qt message boxes: the
// title, text, icon by kind, the question's buttons in order with its
// default button. Closing a question's box (its close control or Escape)
// answers with an empty text, which the model takes as "the box was
// closed". Runs on the window's thread; WorkRunner brings calls from a
// worker thread here.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "runtime/report.h"

namespace tarvio::desktop {

class QtReporter : public Reporter {
 public:
  // `parent` returns the window the boxes are placed over (may be null).
  explicit QtReporter(std::function<QWidget*()> parent = nullptr);
  void show(const Message& m) override;
  std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                  const std::string& default_button) override;

 private:
  QWidget* parent() const;
  std::function<QWidget*()> parent_;
};

}  // namespace tarvio::desktop
