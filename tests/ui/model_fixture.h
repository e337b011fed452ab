// A started application model in a working folder of its own, with a
// reporter that keeps every message and question (answering from a queue,
// else with the default button) and a file chooser that answers from a
// queue.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/state.h"
#include "runtime/report.h"
#include "ui/application.h"
#include "ui/main_window.h"

namespace tarvio::ui::testing {

struct Question {
  std::string title, text;
  std::vector<std::string> buttons;
  std::string def;
};

class KeepingReporter : public Reporter {
 public:
  void show(const Message& m) override { messages.push_back(m); }
  std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                  const std::string& def) override {
    questions.push_back({title, text, buttons, def});
    if (answers.empty()) return def;
    std::string a = answers.front();
    answers.pop_front();
    return a;
  }
  void status(const std::string& text) override { statuses.push_back(text); }
  bool shown(const std::string& title) const {
    for (const Message& m : messages)
      if (m.title == title) return true;
    return false;
  }
  std::vector<Message> messages;
  std::vector<Question> questions;
  std::vector<std::string> statuses;
  std::deque<std::string> answers;
};

class QueuedFiles : public FileChooser {
 public:
  std::optional<std::string> open_file(const std::string&, const std::string&) override { return next(); }
  std::optional<std::string> save_file(const std::string&, const std::string&) override { return next(); }
  std::deque<std::string> names;

 private:
  std::optional<std::string> next() {
    if (names.empty()) return std::nullopt;
    std::string n = names.front();
    names.pop_front();
    return n;
  }
};

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    dir = std::filesystem::temp_directory_path() / ("tarvio-ui-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    old_cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    Host host;
    host.files = files;
    app = std::make_unique<Application>(host, rep);
    start();
  }
  void TearDown() override {
    app.reset();
    std::filesystem::current_path(old_cwd);
    std::filesystem::remove_all(dir);
  }
  virtual void start() { app->start_window(); }

  MainWindow& w() { return app->main(); }
  Parameters& p() { return state().parameters; }
  SigGenSettings& sg() { return state().sigGenSettings; }

  std::shared_ptr<KeepingReporter> rep = std::make_shared<KeepingReporter>();
  std::shared_ptr<QueuedFiles> files = std::make_shared<QueuedFiles>();
  std::unique_ptr<Application> app;
  std::filesystem::path dir, old_cwd;
};

}  // namespace tarvio::ui::testing
