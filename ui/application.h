// The application model: the main window, the frame's commands and menu,
// the signal generator settings panel and every dialog, built once and kept
// for the model's life, all working on the program-wide records. A host
// creates one Application (or lets the window start or the unattended start
// create the program-wide one), shows what it describes and forwards what the
// user does. While it exists, a parameter-file load or a data-rate change
// redraws it through the window hooks, and the status line of a calculation
// goes to its txtStatusBar.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/report.h"
#include "ui/host.h"
#include "ui/sdr_connection.h"

namespace tarvio::ui {

class Window;
class MainWindow;
class Frame;
class SigGenPanel;
class MacHeaderDialog;
class SubcarrierDialog;
class FadingDialog;
class ClockSwitchDialog;
class AdvancedSettingsDialog;
class IoDialog;
class ImpairmentsDialog;
class AboutWindow;
class AnalysisWindow;

class Application {
 public:
  // Loads the window set without showing it: the main window and every
  // dialog, hidden, with their controls and callbacks. Installs the
  // host's reporter (or keeps the current one) behind a reporter that also
  // writes status texts into the main window's status line, and connects
  // the window hooks. Only one Application exists at a time (the records
  // are program-wide): a second throws std::logic_error.
  explicit Application(Host host = {}, std::shared_ptr<Reporter> reporter = nullptr);
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The window set-up that needs the records (InitializeFigures): the menu
  // bar (it depends on appInfo.Platform), the frame's set-up (stored I/O
  // configuration, tool tips, memory option marks) and every dialog's.
  void initialize_figures();

  // The window start without the splash screen and its wait (those belong
  // to the desktop host): the four initialisers, dontSetSampleRate = 0,
  // initialize_figures, the main window's set-up, a redraw,
  // InitializeParameters again, the main window shown.
  void start_window();
  // The unattended start: the four initialisers, initialize_figures, the
  // main window's set-up, InitializeParameters again, SetFaceless. The
  // window stays hidden and no redraw runs.
  void start_faceless();

  MainWindow& main() { return *main_; }
  Frame& frame() { return *frame_; }
  SigGenPanel& siggen() { return *siggen_; }
  MacHeaderDialog& mac_header() { return *mac_; }
  SubcarrierDialog& subcarriers() { return *carriers_; }
  FadingDialog& fading() { return *fading_; }
  ClockSwitchDialog& clock_switch() { return *clock_; }
  AdvancedSettingsDialog& advanced() { return *advanced_; }
  IoDialog& io() { return *io_; }
  // The radio of the I/O connection dialog (Download plays on it when chosen).
  SdrConnection& sdr() { return sdr_; }
  ImpairmentsDialog& impairments() { return *impairments_; }
  AboutWindow& about() { return *about_; }
  // The analysis window (File > Analyze Capture...); not one of windows(),
  // whose views the desktop makes alike: it has a view of its own.
  AnalysisWindow& analysis() { return *analysis_; }

  // Every window of the set, main window first; find by tag (null if
  // none), the analysis window included.
  std::vector<Window*> windows();
  Window* find_window(const std::string& tag);

  const Host& host() const { return host_; }
  // The host's file chooser; nothing when there is none or the user cancels.
  std::optional<std::string> choose_open(const std::string& title, const std::string& filter);
  std::optional<std::string> choose_save(const std::string& title, const std::string& filter);

  // The one entry point of the calculation. Runs Calculate on the records;
  // with `stamp`, also stores the time stamp and parameter copy that the
  // stale-waveform guard compares (the main window's calculate command).
  // Returns false when a check stopped the calculation. A host that moves
  // the work to another thread overrides this call (and keeps its own
  // window alive while it waits), nothing else.
  virtual bool calculate(bool stamp);
  // The frame's long work (download, playback set-up, waveform files):
  // runs `work` and returns when it has ended. A host that keeps its window
  // alive overrides this to run it on another thread; `work` reaches the
  // windows only through the reporter and the window hooks.
  virtual void run_work(const std::function<void()>& work);

  // The main window's pointer shows "watch" for the life of a Busy.
  class Busy {
   public:
    explicit Busy(Application& app);
    ~Busy();

   private:
    Application& app_;
    std::string saved_;
  };

  // Shut-down: empties the packet file, closes the displays, stores the I/O
  // configuration (ignoring a failure) and, unless unattended, closes the
  // main window. The model itself lives on until its owner destroys it.
  void shut_down();
  bool closed() const { return closed_; }

 private:
  Host host_;
  std::shared_ptr<Reporter> previous_reporter_;
  std::unique_ptr<MainWindow> main_;
  std::unique_ptr<Frame> frame_;
  std::unique_ptr<SigGenPanel> siggen_;
  std::unique_ptr<MacHeaderDialog> mac_;
  std::unique_ptr<SubcarrierDialog> carriers_;
  std::unique_ptr<FadingDialog> fading_;
  std::unique_ptr<ClockSwitchDialog> clock_;
  std::unique_ptr<AdvancedSettingsDialog> advanced_;
  std::unique_ptr<IoDialog> io_;
  SdrConnection sdr_;
  std::unique_ptr<ImpairmentsDialog> impairments_;
  std::unique_ptr<AboutWindow> about_;
  std::unique_ptr<AnalysisWindow> analysis_;
  bool closed_ = false;
};

// The Application that exists now, or null.
Application* current_application();
// The program-wide model of the registered operations (window start,
// unattended start, window commands called by name): the current one, or a
// new one with the default host, kept until release_application().
Application& program_application();
// Destroys the model program_application() created (not one a host owns).
void release_application();

}  // namespace tarvio::ui
