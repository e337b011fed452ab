// The default reporters.
#include "runtime/report.h"

#include <cstdio>

namespace tarvio {

const char* kind_word(MessageKind k) {
  switch (k) {
    case MessageKind::Error:
      return "error";
    case MessageKind::Warning:
      return "warning";
    case MessageKind::Info:
      return "info";
    case MessageKind::Help:
      return "help";
    case MessageKind::Plain:
      return "message";
  }
  return "message";
}

void StderrReporter::show(const Message& m) {
  std::fprintf(stderr, "[%s] %s: %s\n", kind_word(m.kind), m.title.c_str(), m.text.c_str());
}

std::string StderrReporter::ask(const std::string& title, const std::string& text, const std::vector<std::string>&,
                                const std::string& default_button) {
  std::fprintf(stderr, "[question] %s: %s -> %s\n", title.c_str(), text.c_str(), default_button.c_str());
  return default_button;
}

std::string RecordingReporter::ask(const std::string& title, const std::string&, const std::vector<std::string>&,
                                   const std::string& default_button) {
  questions.push_back(title);
  if (answers.empty()) return default_button;
  std::string a = answers.front();
  answers.erase(answers.begin());
  return a;
}

static std::shared_ptr<Reporter>& current() {
  static std::shared_ptr<Reporter> r = std::make_shared<StderrReporter>();
  return r;
}

Reporter& reporter() { return *current(); }

std::shared_ptr<Reporter> set_reporter(std::shared_ptr<Reporter> r) {
  auto old = current();
  current() = r ? std::move(r) : std::make_shared<StderrReporter>();
  return old;
}

}  // namespace tarvio
