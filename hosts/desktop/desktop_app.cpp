// The desktop application: views, host services and long work.
#include "hosts/desktop/desktop_app.h"

#include <QApplication>
#include <QScreen>

#include "control/calculation_watch.h"
#include "control/kept_calculation.h"
#include "displays/display_host.h"
#include "hosts/desktop/analysis_view.h"
#include "hosts/desktop/desktop_windows_qt.h"
#include "hosts/desktop/qt_host.h"
#include "hosts/desktop/qt_reporter.h"
#include "hosts/desktop/work_runner.h"
#include "instrument/packet_file.h"
#include "qt/displays/qt_display_host.h"
#include "records/state.h"
#include "ui/about.h"
#include "ui/advanced_settings_dialog.h"
#include "ui/analysis_window.h"
#include "ui/clock_switch_dialog.h"
#include "ui/fading_dialog.h"
#include "ui/io_dialog.h"
#include "ui/mac_header_dialog.h"
#include "ui/main_window.h"
#include "ui/subcarrier_dialog.h"

namespace tarvio::desktop {

namespace {

ui::Host make_host(const DesktopApp::Options& o, std::function<QWidget*()> parent) {
  ui::Host h;
  h.files = o.files ? o.files : std::make_shared<QtFileChooser>(parent);
  h.waiter = std::make_shared<QtDialogWaiter>();
  h.opener = std::make_shared<QtDocumentOpener>();
  return h;
}

}  // namespace

DesktopApp::DesktopApp(Options options)
    : ui::Application(make_host(options, [this] { return static_cast<QWidget*>(main_view_.get()); }),
                      std::make_shared<QtReporter>([this] { return static_cast<QWidget*>(main_view_.get()); })) {
  main_view_ = std::make_unique<MainView>(main());
  for (ui::Window* w : windows()) {
    if (w == &main()) continue;
    const bool modal = w != &about();
    dialogs_[w->tag()] = new DialogView(*w, main_view_.get(), modal);
  }
  analysis_ = new AnalysisView(analysis(), main_view_.get());
  connect(&main_view_->binding(), &WindowBinding::window_changed, this, [this] {
    const bool shown = main().visible();
    if (main_shown_ && !shown) emit main_closed();
    main_shown_ = shown;
  });
  displays_ = std::make_shared<qt::QtDisplayHost>(main_view_.get());
  previous_displays_ = set_display_host(displays_);
  previous_windows_ = set_desktop_windows(std::make_shared<QtDesktopWindows>(*this));
}

DesktopApp::~DesktopApp() {
  set_desktop_windows(previous_windows_);
  set_display_host(previous_displays_);
  displays_->close_all();
  // The views leave the model windows (destroyed by the base class) first.
  for (auto& [tag, d] : dialogs_) delete d.data();
  dialogs_.clear();
  delete analysis_.data();
  main_view_.reset();
  // The shut-down (File > Exit) only empties the packet file; whichever way
  // the program ends, the file does not outlive it.
  packet_file::discard(packet_file::own_path());
}

QWidget* DesktopApp::view(const std::string& tag) const {
  if (tag == main_view_->objectName().toStdString()) return main_view_.get();
  if (tag == "figSplash") return splash_.get();
  if (analysis_ && tag == analysis_->objectName().toStdString()) return analysis_.data();
  auto it = dialogs_.find(tag);
  return it == dialogs_.end() ? nullptr : it->second.data();
}

WindowBinding* DesktopApp::binding(const std::string& tag) const {
  if (tag == main_view_->objectName().toStdString()) return &main_view_->binding();
  if (analysis_ && tag == analysis_->objectName().toStdString()) return &analysis_->binding();
  auto it = dialogs_.find(tag);
  return it == dialogs_.end() || !it->second ? nullptr : &it->second->binding();
}

SplashScreen& DesktopApp::splash() {
  if (!splash_) {
    QStringList lines;
    for (const std::string& l : ui::splash_lines(state().appInfo)) lines << QString::fromStdString(l);
    splash_ = std::make_unique<SplashScreen>(lines);
  }
  if (QScreen* s = QGuiApplication::primaryScreen())
    splash_->move(s->availableGeometry().center() - QPoint(splash_->width() / 2, splash_->height() / 2));
  splash_->show();
  splash_->raise();
  return *splash_;
}

bool DesktopApp::calculate(bool stamp) {
  if (working()) throw std::logic_error("a calculation or download is running already");
  // The last waveform is put aside and comes back when the user stops the
  // new calculation or a check stops it; an error keeps what was made.
  KeptCalculation kept;
  CalculationWatch watch;
  watch_ = &watch;
  main_view_->begin_work(&watch, [this] { cancel(); });
  bool ok = false;
  try {
    run_off_window_thread([&] { ok = ui::Application::calculate(stamp); }, &watch);
  } catch (const CalculationCancelled&) {
    watch_ = nullptr;
    main_view_->end_work();
    kept.restore();
    reporter().status("Calculation cancelled; the waveform calculated before is kept.");
    return false;
  } catch (...) {
    watch_ = nullptr;
    main_view_->end_work();
    throw;
  }
  watch_ = nullptr;
  main_view_->end_work();
  // A calculation stopped by one of its checks leaves the last waveform as
  // it was.
  if (!ok) kept.restore();
  return ok;
}

void DesktopApp::cancel() {
  if (watch_) watch_->cancel = true;
}

void DesktopApp::run_work(const std::function<void()>& work) {
  if (working()) throw std::logic_error("a calculation or download is running already");
  main_view_->begin_work(nullptr, nullptr);
  try {
    run_off_window_thread(work, nullptr);
  } catch (...) {
    main_view_->end_work();
    throw;
  }
  main_view_->end_work();
}

}  // namespace tarvio::desktop
