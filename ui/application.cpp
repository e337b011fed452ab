// The window set, its start-ups, the calculation entry point and shut-down.
#include "ui/application.h"

#include <algorithm>
#include <stdexcept>

#include "control/calculate.h"
#include "control/calculate_command.h"
#include "control/initialize.h"
#include "control/param_set_ops.h"
#include "control/parameter_files.h"
#include "instrument/hwio.h"
#include "records/state.h"
#include "records/window_hooks.h"
#include "runtime/registry.h"
#include "ui/about.h"
#include "ui/advanced_settings_dialog.h"
#include "ui/analysis_window.h"
#include "ui/clock_switch_dialog.h"
#include "ui/fading_dialog.h"
#include "ui/frame.h"
#include "ui/impairments_dialog.h"
#include "ui/io_dialog.h"
#include "ui/mac_header_dialog.h"
#include "ui/main_window.h"
#include "ui/siggen_panel.h"
#include "ui/subcarrier_dialog.h"

namespace tarvio::ui {

namespace {

Application* g_current = nullptr;
std::unique_ptr<Application> g_owned;

// Passes everything on to the host's reporter and also writes status texts
// into the main window's status line. An answer is one of the question's
// buttons or the empty text of a box closed without a choice (Escape, the
// close control); any other answer is refused before the model acts on it.
class StatusLineReporter : public Reporter {
 public:
  StatusLineReporter(std::shared_ptr<Reporter> inner, MainWindow& main) : inner_(std::move(inner)), main_(main) {}
  void show(const Message& m) override { inner_->show(m); }
  std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                  const std::string& def) override {
    std::string answer = inner_->ask(title, text, buttons, def);
    if (answer.empty() || std::find(buttons.begin(), buttons.end(), answer) != buttons.end()) return answer;
    std::string list;
    for (const std::string& b : buttons) list += (list.empty() ? "\"" : ", \"") + b + "\"";
    throw std::invalid_argument("the answer \"" + answer + "\" to the question \"" + title +
                                "\" is not one of its buttons (" + list + "); an empty answer closes the box");
  }
  void status(const std::string& text) override {
    main_.set_text("txtStatusBar", text);
    inner_->status(text);
  }

 private:
  std::shared_ptr<Reporter> inner_;
  MainWindow& main_;
};

// The reporter in force now, as a shared pointer (set_reporter hands back
// the one it replaces).
std::shared_ptr<Reporter> current_reporter() {
  std::shared_ptr<Reporter> probe = std::make_shared<StderrReporter>();
  std::shared_ptr<Reporter> previous = set_reporter(probe);
  set_reporter(previous);
  return previous ? previous : probe;
}

}  // namespace

Application::Application(Host host, std::shared_ptr<Reporter> reporter) : host_(std::move(host)) {
  if (g_current) throw std::logic_error("an application model exists already; the records allow one at a time");
  main_ = std::make_unique<MainWindow>(*this);
  siggen_ = std::make_unique<SigGenPanel>(*this, *main_);
  frame_ = std::make_unique<Frame>(*this, *main_);
  mac_ = std::make_unique<MacHeaderDialog>();
  carriers_ = std::make_unique<SubcarrierDialog>();
  fading_ = std::make_unique<FadingDialog>();
  clock_ = std::make_unique<ClockSwitchDialog>();
  advanced_ = std::make_unique<AdvancedSettingsDialog>();
  io_ = std::make_unique<IoDialog>();
  impairments_ = std::make_unique<ImpairmentsDialog>();
  about_ = std::make_unique<AboutWindow>();
  for (Window* w : windows())
    if (w != main_.get()) w->set_parent(main_->tag());
  analysis_ = std::make_unique<AnalysisWindow>();
  analysis_->set_parent(main_->tag());
  analysis_->on("pbOpen", [this] { frame_->analyze_capture(); });

  std::shared_ptr<Reporter> inner = reporter ? reporter : current_reporter();
  previous_reporter_ = set_reporter(std::make_shared<StatusLineReporter>(inner, *main_));

  WindowHooks& h = window_hooks();
  h.redraw = [this] { main_->redraw(); };
  h.redrawFormatParameters = [this] { main_->redrawFormatParameters(); };
  h.pbcc33SampleRateChoice = [this] { return main_->at("pdSampleRate_pbcc33").value; };
  g_current = this;
}

Application::~Application() {
  window_hooks() = WindowHooks{};
  set_reporter(previous_reporter_);
  g_current = nullptr;
}

std::vector<Window*> Application::windows() {
  return {main_.get(),     mac_.get(), carriers_.get(),    fading_.get(), clock_.get(),
          advanced_.get(), io_.get(),  impairments_.get(), about_.get()};
}

Window* Application::find_window(const std::string& tag) {
  for (Window* w : windows())
    if (w->tag() == tag) return w;
  if (analysis_ && analysis_->tag() == tag) return analysis_.get();
  return nullptr;
}

void Application::initialize_figures() {
  frame_->add_menu();
  frame_->InitializeFigure();
  mac_->InitializeFigure();
  carriers_->InitializeFigure();
  fading_->InitializeFigure();
  clock_->InitializeFigure();
  advanced_->InitializeFigure();
  io_->InitializeFigure();
  impairments_->InitializeFigure();
}

void Application::start_window() {
  InitializeAll();
  state().dontSetSampleRate = 0;
  initialize_figures();
  main_->InitializeFigure();
  main_->redraw();
  InitializeParameters();
  closed_ = false;
  main_->set_visible(true);
}

void Application::start_faceless() {
  InitializeAll();
  initialize_figures();
  main_->InitializeFigure();
  InitializeParameters();
  SetFaceless();
}

std::optional<std::string> Application::choose_open(const std::string& title, const std::string& filter) {
  if (!host_.files) return std::nullopt;
  return host_.files->open_file(title, filter);
}

std::optional<std::string> Application::choose_save(const std::string& title, const std::string& filter) {
  if (!host_.files) return std::nullopt;
  return host_.files->save_file(title, filter);
}

bool Application::calculate(bool stamp) { return stamp ? CalculateCommand() : Calculate(); }

void Application::run_work(const std::function<void()>& work) { work(); }

Application::Busy::Busy(Application& app) : app_(app), saved_(app.main().pointer()) {
  app_.main().set_pointer("watch");
}

Application::Busy::~Busy() { app_.main().set_pointer(saved_); }

void Application::shut_down() {
  State& s = state();
  // The packet temporary file, then the displays, then the connection
  // settings for the next start; a failure of one step does not stop the
  // others.
  try {
    if (!s.parameters.multiFrame.tmpFileName.empty())
      hwio::call(10, {Value(std::string()), Value(s.parameters.multiFrame.tmpFileName)});
  } catch (const std::exception& e) {
    reporter().show({MessageKind::Error, "Error", e.what(), true});
  }
  while (!s.appInfo.ClientWindows.empty()) {
    const Value handle = s.appInfo.ClientWindows.front();
    s.appInfo.ClientWindows.erase(s.appInfo.ClientWindows.begin());
    if (Registry::instance().find("Close")) Registry::instance().call("Close", {handle}, 0);
  }
  try {
    save_io_config(s.configuration, sdr_);
  } catch (const std::exception&) {
    // The connection settings are kept for convenience only.
  }
  if (s.parameters.faceless == 0) {
    for (Window* w : windows()) w->set_visible(false);
    analysis_->set_visible(false);
    closed_ = true;
  }
}

Application* current_application() { return g_current; }

Application& program_application() {
  if (g_current) return *g_current;
  g_owned = std::make_unique<Application>();
  return *g_owned;
}

void release_application() { g_owned.reset(); }

}  // namespace tarvio::ui
