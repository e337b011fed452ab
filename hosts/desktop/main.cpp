// tarvio, the desktop program: the main window with its dialogs and the
// analysis displays over the application model. Shows the splash screen
// for three seconds while it starts, then the main window.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <string>

#include "hosts/desktop/desktop_app.h"
#include "hosts/desktop/screenshots.h"
#include "instrument/stale_files.h"
#include "records/state.h"
#include "runtime/cleanup.h"

namespace {

const char* kUsage =
    "usage: tarvio [--screenshot DIR]\n"
    "\n"
    "The desktop program: edit the waveform's settings, calculate, look at the\n"
    "spectrum, I/Q and CCDF displays, and download to the signal generator.\n"
    "  --screenshot DIR   write pictures of the main window (DSSS and OFDM), every\n"
    "                     dialog and every display into DIR as PNG files, then end\n"
    "  --version          the version\n"
    "Qt's own options (-platform offscreen, ...) are taken as well.\n";

// Runs the window's events for the rest of `ms` milliseconds since `since`.
void wait_rest(const QElapsedTimer& since, qint64 ms) {
  const qint64 left = ms - since.elapsed();
  if (left <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(int(left), &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  // The help and the version are answered before the window system is
  // reached, so they work without a display.
  for (int k = 1; k < argc; ++k) {
    const std::string a = argv[k];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("tarvio %s\n", TARVIO_VERSION);
      return 0;
    }
    if (a == "--screenshot") ++k;  // its folder is not an option
  }
  QApplication qapp(argc, argv);
  QApplication::setApplicationName("Tarvio");
  QString screenshots;
  const QStringList args = QApplication::arguments();
  for (int k = 1; k < args.size(); ++k) {
    if (args[k] == "--screenshot" && k + 1 < args.size()) {
      screenshots = args[++k];
      continue;
    }
    std::fprintf(stderr, "tarvio: unknown argument %s\n%s", qPrintable(args[k]), kUsage);
    return 2;
  }

  // An interrupt removes this run's packet and partial files; what killed
  // runs left behind goes now.
  tarvio::install_interrupt_cleanup();
  tarvio::remove_stale_files();
  try {
    tarvio::desktop::DesktopApp app;
    if (!screenshots.isEmpty()) {
      app.start_window();
      const QStringList files = tarvio::desktop::write_screenshots(app, screenshots);
      for (const QString& f : files) std::printf("%s\n", qPrintable(f));
      return 0;
    }
    QObject::connect(&app, &tarvio::desktop::DesktopApp::main_closed, &qapp, &QApplication::quit);
    // The splash screen stays up for three seconds in all, the start-up
    // included; the main window is shown when it goes.
    QElapsedTimer since;
    since.start();
    app.splash();
    QApplication::processEvents();
    app.main_view().hold(true);
    app.start_window();
    wait_rest(since, 3000);
    app.splash().hide();
    app.main_view().hold(false);
    return qapp.exec();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tarvio: %s\n", e.what());
    return 1;
  }
}
