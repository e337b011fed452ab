// Reporting interface for what the user must see: dialogs (kind, title,
// text), questions with buttons and a default, and the status line.
// Operations never talk to a window directly; a host plugs in its reporter.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tarvio {

enum class MessageKind { Error, Warning, Info, Help, Plain };
// "error", "warning", "info", "help" or "message".
const char* kind_word(MessageKind kind);

struct Message {
  MessageKind kind = MessageKind::Plain;
  std::string title;
  std::string text;
  bool modal = true;
};

class Reporter {
 public:
  virtual ~Reporter() = default;
  // Shows a dialog and returns when the user has closed it.
  virtual void show(const Message& m) = 0;
  // Asks a question; returns the text of the button chosen, or an empty
  // text when the box was closed without a choice (Escape, its close
  // control). What closing means is the asking operation's to say.
  virtual std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                          const std::string& default_button) = 0;
  // The main window's status line.
  virtual void status(const std::string& text) { (void)text; }
};

// Prints dialogs to standard error ("Title: text") and answers every question
// with its default button.
class StderrReporter : public Reporter {
 public:
  void show(const Message& m) override;
  std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                  const std::string& default_button) override;
};

// Keeps everything it is shown; answers from a queue, else the default.
// For tests and for hosts that decide after the operation returns.
class RecordingReporter : public Reporter {
 public:
  void show(const Message& m) override { messages.push_back(m); }
  std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                  const std::string& default_button) override;
  void status(const std::string& text) override { statuses.push_back(text); }
  std::vector<Message> messages;
  std::vector<std::string> statuses;
  std::vector<std::string> answers;    // consumed front first
  std::vector<std::string> questions;  // titles of the questions asked
};

Reporter& reporter();
// Installs a reporter; returns the previous one (null means the default).
std::shared_ptr<Reporter> set_reporter(std::shared_ptr<Reporter> r);

// Shorthands for the common dialogs.
inline void report_error(const std::string& title, const std::string& text, bool modal = true) {
  reporter().show({MessageKind::Error, title, text, modal});
}
inline void report_warning(const std::string& title, const std::string& text, bool modal = true) {
  reporter().show({MessageKind::Warning, title, text, modal});
}
inline void report_info(const std::string& title, const std::string& text, bool modal = true) {
  reporter().show({MessageKind::Info, title, text, modal});
}

}  // namespace tarvio
