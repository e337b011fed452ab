// The desktop program's application: the model of the main window, its
// dialogs and frame (ui::Application) with a Qt view over each window, the
// message boxes, file dialogs and document opener it asks for, the display
// windows, and the figure tools' access to the program's windows. Long work
// runs off the window's thread: the calculation (with its progress and a
// Cancel that keeps the previous waveform) and the instrument work.
#pragma once

#include <QObject>
#include <QPointer>
#include <map>
#include <memory>

#include "hosts/desktop/artwork.h"
#include "hosts/desktop/views.h"
#include "ui/application.h"

namespace tarvio {
struct CalculationWatch;
class DesktopWindows;
class DisplayHost;
namespace qt {
class QtDisplayHost;
}
}  // namespace tarvio

namespace tarvio::desktop {

class AnalysisView;

class DesktopApp : public QObject, public ui::Application {
  Q_OBJECT

 public:
  struct Options {
    // Tests answer the file questions themselves; none: Qt's file dialogs.
    std::shared_ptr<ui::FileChooser> files;
  };

  explicit DesktopApp(Options options = {});
  ~DesktopApp() override;

  MainView& main_view() { return *main_view_; }
  // The view of a model window by its tag (figMain, figMACconfig, ...,
  // figAnalyze).
  QWidget* view(const std::string& window_tag) const;
  WindowBinding* binding(const std::string& window_tag) const;
  qt::QtDisplayHost& displays() { return *displays_; }

  // The splash screen, centred on the screen; made once.
  SplashScreen& splash();

  bool calculate(bool stamp) override;
  void run_work(const std::function<void()>& work) override;
  bool working() const { return main_view_->working(); }
  // Asks the running calculation to stop at its next packet.
  void cancel();

 signals:
  // The main window was closed: the program ends.
  void main_closed();

 private:
  std::unique_ptr<MainView> main_view_;
  std::map<std::string, QPointer<DialogView>> dialogs_;
  QPointer<AnalysisView> analysis_;
  std::shared_ptr<qt::QtDisplayHost> displays_;
  std::shared_ptr<DisplayHost> previous_displays_;
  std::shared_ptr<DesktopWindows> previous_windows_;
  std::unique_ptr<SplashScreen> splash_;
  CalculationWatch* watch_ = nullptr;
  bool main_shown_ = false;
};

}  // namespace tarvio::desktop
