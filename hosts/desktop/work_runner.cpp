// Work on a worker thread, and what it asks of the windows brought back.
#include "hosts/desktop/work_runner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>

#include "control/calculation_watch.h"
#include "qt/displays/window_thread.h"
#include "records/window_hooks.h"
#include "runtime/report.h"

namespace tarvio::desktop {

using qt::on_gui_thread;
using qt::on_window_thread;

namespace {

// Passes the work's messages and questions to the model's reporter on the
// window's thread, waiting for the answer; status texts are posted without
// waiting (they keep their order with everything else posted).
class ForwardingReporter : public Reporter {
 public:
  explicit ForwardingReporter(std::shared_ptr<Reporter> inner) : inner_(std::move(inner)) {}
  void show(const Message& m) override {
    on_window_thread([&] { target().show(m); });
  }
  std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                  const std::string& def) override {
    std::string answer;
    on_window_thread([&] { answer = target().ask(title, text, buttons, def); });
    return answer;
  }
  void status(const std::string& text) override {
    if (on_gui_thread()) {
      target().status(text);
      return;
    }
    std::shared_ptr<Reporter> inner = inner_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [inner, text] { inner->status(text); }, Qt::QueuedConnection);
  }

 private:
  Reporter& target() { return *inner_; }
  std::shared_ptr<Reporter> inner_;
};

// A window hook called from the worker runs on the window's thread.
std::function<void()> forwarded(std::function<void()> hook) {
  if (!hook) return hook;
  return [hook] { on_window_thread(hook); };
}

}  // namespace

void run_off_window_thread(const std::function<void()>& work, CalculationWatch* watch) {
  if (!on_gui_thread()) throw std::logic_error("long work is started from the window's thread");
  // The reporter in force (null: the default one) is put back afterwards.
  const std::shared_ptr<Reporter> previous = set_reporter(nullptr);
  set_reporter(std::make_shared<ForwardingReporter>(previous ? previous : std::make_shared<StderrReporter>()));
  const WindowHooks saved = window_hooks();
  window_hooks().redraw = forwarded(saved.redraw);
  window_hooks().redrawFormatParameters = forwarded(saved.redrawFormatParameters);
  if (saved.pbcc33SampleRateChoice) {
    auto choice = saved.pbcc33SampleRateChoice;
    window_hooks().pbcc33SampleRateChoice = [choice] {
      double v = 1;
      on_window_thread([&] { v = choice(); });
      return v;
    };
  }

  QEventLoop loop;
  std::exception_ptr error;
  std::thread worker([&] {
    CalculationWatch* outer = watch_calculations(watch);
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
    watch_calculations(outer);
    // Posted after everything the work posted, so the loop ends when all
    // of it has been shown.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();

  window_hooks() = saved;
  set_reporter(previous);
  if (error) std::rethrow_exception(error);
}

}  // namespace tarvio::desktop
