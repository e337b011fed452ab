// Driving the program through its windows and taking their pictures.
#include "hosts/desktop/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QRegularExpression>
#include <QTimer>
#include <filesystem>
#include <stdexcept>

#include "files/raw_waveform.h"
#include "hosts/desktop/desktop_app.h"
#include "qt/displays/qt_display_host.h"
#include "records/state.h"
#include "runtime/number_text.h"
#include "ui/about.h"
#include "ui/analysis_window.h"
#include "ui/io_dialog.h"
#include "ui/main_window.h"

namespace tarvio::desktop {

namespace {

// Lets the windows lay themselves out and paint.
void settle() {
  for (int k = 0; k < 5; ++k) {
    QApplication::sendPostedEvents();
    QApplication::processEvents();
  }
}

class Shooter {
 public:
  Shooter(DesktopApp& app, const QString& dir) : app_(app), dir_(dir) {
    if (!QDir().mkpath(dir)) throw std::runtime_error("cannot create the folder " + dir.toStdString());
    // A message box met on the way is pictured once and answered with its
    // default button.
    QObject::connect(&boxes_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      QString name = "message-" + box->windowTitle().toLower();
      name.replace(QRegularExpression("[^a-z0-9]+"), "-");
      while (name.endsWith('-')) name.chop(1);
      if (!written.contains(QDir(dir_).filePath(name + ".png"))) shoot(box, name);
      QAbstractButton* b = box->defaultButton();
      if (!b && !box->buttons().isEmpty()) b = box->buttons().first();
      if (b) b->click();
    });
    boxes_.start(50);
  }
  void shoot(QWidget* w, const QString& name) {
    if (!w) throw std::runtime_error("no window for the picture " + name.toStdString());
    settle();
    const QString path = QDir(dir_).filePath(name + ".png");
    if (!w->grab().save(path)) throw std::runtime_error("cannot write " + path.toStdString());
    written << path;
  }
  // Opens a dialog the way the user does, takes its picture, closes it.
  void dialog(const std::function<void()>& open, const std::string& tag, const QString& name) {
    ui::run_guarded(open);
    shoot(app_.view(tag), name);
    app_.find_window(tag)->request_close();
    settle();
  }
  QStringList written;

 private:
  DesktopApp& app_;
  QString dir_;
  QTimer boxes_;
};

}  // namespace

QStringList write_screenshots(DesktopApp& app, const QString& dir) {
  Shooter s(app, dir);
  ui::MainWindow& m = app.main();

  s.shoot(&app.splash(), "splash");
  app.splash().hide();

  // The defaults: one 11 Mbit/s CCK packet.
  s.shoot(&app.main_view(), "main-dsss");
  s.dialog([&] { m.click("pbMACheaderSetup"); }, "figMACconfig", "dialog-mac-header");
  s.dialog([&] { m.click("pushbuttonphadingsetup"); }, "figPhading", "dialog-fading");
  s.dialog([&] { m.click("pbAdvanced"); }, "figAdvSettings", "dialog-advanced-settings");
  s.dialog([&] { m.select_menu("menuConfigSigGenIO"); }, "figIOConfig", "dialog-io-connection");
  s.dialog([&] { m.select_menu("menuConfigImpairments"); }, "figImpairments", "dialog-impairments");
  s.dialog([&] { m.select_menu("menuHelpAbout"); }, "figAbout", "dialog-about");
  m.choose("pdDataRate", 11);  // 33 Mbit/s: the clock switch
  s.dialog([&] { m.click("pbClkStructSetup"); }, "figClkSwitch", "dialog-clock-switch");

  m.choose("pdDataRate", 14);  // 54 Mbit/s OFDM
  s.shoot(&app.main_view(), "main-ofdm");
  s.dialog([&] { m.click("pbSubCarriers"); }, "figCarriers", "dialog-subcarriers");

  // A long calculation, pictured while it runs, then cancelled.
  m.enter("txtNumberOfPackets", "2000");
  m.check("chkSeqControl", 1);
  QTimer poll;
  bool shot = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (shot || state().parameters.numberOfPackets < 2) return;
    if (app.main_view().progress()->value() < 3) return;
    shot = true;
    s.shoot(&app.main_view(), "main-calculating");
    app.cancel();
  });
  poll.start(50);
  m.click("pbCalculate");
  poll.stop();
  m.enter("txtNumberOfPackets", "1");

  // The displays of a calculated waveform.
  m.click("pbCalculate");
  const std::pair<const char*, const char*> displays[] = {{"menuPlotSpectrum", "display-spectrum"},
                                                          {"menuPlotIQTime", "display-iq"},
                                                          {"menuPlotIQTimeSameAxes", "display-iq-overlaid"},
                                                          {"menuPlotCCDF", "display-ccdf"}};
  for (const auto& display : displays) {
    const char* menu = display.first;
    const char* name = display.second;
    ui::run_guarded([&] { m.select_menu(menu); });
    const std::vector<double> open = app.displays().handles();
    if (open.empty()) throw std::runtime_error(std::string("no display opened for ") + menu);
    s.shoot(app.displays().window(open.back()), name);
  }
  app.displays().close_all();
  settle();

  // The analysis window over a capture of a noisy 54 Mbit/s packet, a raw
  // file (its sample rate entered).
  const Impairments clean = state().impairments;
  state().impairments.SNR = 32;
  m.click("pbCalculate");
  state().impairments = clean;
  const std::string capture = QDir(dir).filePath("capture.raw").toStdString();
  if (!SaveBriscaWaveform(state().waveform, capture)) throw std::runtime_error("cannot write " + capture);
  ui::AnalysisWindow& a = app.analysis();
  const Parameters& p = state().parameters;
  a.enter("txtSampleRate", Num2Str((p.format == 1 ? 20 : 11) * p.OverSampling));
  ui::run_guarded([&] { a.show_file(capture, ui::AnalysisWindow::check_file(capture, a.sample_rate())); });
  std::filesystem::remove(capture);
  s.shoot(app.view(ui::AnalysisWindow::kTag), "window-analyze-capture");
  a.request_close();
  settle();
  return s.written;
}

}  // namespace tarvio::desktop
