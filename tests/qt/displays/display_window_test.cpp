// The display windows on the offscreen platform: every display opens on a
// calculated waveform through its figure tool, with its title, menus and a
// drawn trace; the zoom and rotate tools, labels and subplots act on the
// window; print, copy and close work.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <filesystem>

#include "control/calculate_command.h"
#include "control/initialize.h"
#include "control/packet_log.h"
#include "displays/figure_tools.h"
#include "dsp/dac_res.h"
#include "qt/displays/qt_display_host.h"
#include "records/state.h"
#include "runtime/registry.h"
#include "runtime/report.h"

namespace tarvio::qt {
namespace {

// The default waveform (one 11 Mbit/s CCK packet), as the frame hands it to
// the displays: quantised to 14 bits.
const CVec& calculated_waveform() {
  static const CVec w = [] {
    InitializeAll();
    state().dontSetSampleRate = 0;
    auto previous = set_reporter(std::make_shared<RecordingReporter>());
    EXPECT_TRUE(CalculateCommand());
    set_reporter(previous);
    CVec all = read_packet_file(last_packet_log());
    std::error_code ec;
    std::filesystem::remove(state().parameters.multiFrame.tmpFileName, ec);
    std::filesystem::remove(state().parameters.multiFrame.tmpFileName + ".markers", ec);
    return ApplyDacRes(all, 14);
  }();
  return w;
}

class DisplayWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    main_.setWindowTitle("main");
    main_.setGeometry(100, 100, 800, 600);
    main_.show();
    previous_ = set_display_host(host_);
  }
  void TearDown() override {
    set_display_host(previous_);
    host_->close_all();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  double open(const std::string& op, Args extra = {}) {
    Args args = {0.0, Value::complex_row(calculated_waveform()), 44e6, "WLAN (01JAN2025 12:00:00)"};
    for (Value& v : extra) args.push_back(std::move(v));
    return Registry::instance().call(op, args).at(0).to_double();
  }
  // Coloured pixels (traces, images) in the window's picture; the frame,
  // grid and text are black, grey or white.
  static int coloured_pixels(DisplayWindow* w) {
    const QImage img = w->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) n += QColor(img.pixel(x, y)).hsvSaturation() > 128;
    return n;
  }
  static QStringList menu_texts(QMenu* m) {
    QStringList out;
    for (QAction* a : m->actions()) out << a->text();
    return out;
  }

  QWidget main_;
  std::shared_ptr<QtDisplayHost> host_ = std::make_shared<QtDisplayHost>(&main_);
  std::shared_ptr<DisplayHost> previous_;
};

TEST_F(DisplayWindows, EachDisplayOpensOnACalculatedWaveform) {
  const struct {
    const char* op;
    Args extra;
    const char* title;
  } cases[] = {
      {"KV_PlotSpectrum", {}, "Magnitude Spectrum WLAN (01JAN2025 12:00:00)"},
      {"KV_PlotIQTime", {}, "I(t) Q(t) WLAN (01JAN2025 12:00:00)"},
      {"KV_PlotIQTime", {1.0}, "I(t) Q(t) WLAN (01JAN2025 12:00:00)"},
      {"KV_PlotCCDF", {}, "CCDF WLAN (01JAN2025 12:00:00)"},
      {"KV_PlotWaterfall", {}, "Waterfall WLAN (01JAN2025 12:00:00)"},
      {"KV_PlotEyeDiagram", {4.0, 50.0, 0.0}, "Eye Diagram WLAN (01JAN2025 12:00:00)"},
      {"KV_PlotScatterDiagram", {0.0}, "Scatter Diagram WLAN (01JAN2025 12:00:00)"},
  };
  for (const auto& c : cases) {
    const double h = open(c.op, c.extra);
    DisplayWindow* w = host_->window(h);
    ASSERT_NE(w, nullptr) << c.op;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w)) << c.op;
    EXPECT_EQ(w->windowTitle().toStdString(), c.title);
    EXPECT_EQ(host_->current(), h);
    // Placed against the main window, not over its corner.
    EXPECT_GT(w->frameGeometry().left(), main_.frameGeometry().left()) << c.op;
    EXPECT_GT(coloured_pixels(w), 500) << c.op << ": nothing drawn";
  }
  EXPECT_EQ(host_->handles().size(), std::size(cases));
}

TEST_F(DisplayWindows, MenusOfTheWindow) {
  DisplayWindow* w = host_->window(open("KV_PlotSpectrum"));
  QStringList bar;
  for (QAction* a : w->menuBar()->actions()) bar << a->text();
  EXPECT_EQ(bar, (QStringList{"&File", "&Edit", "&Tools"}));
  EXPECT_EQ(menu_texts(w->findChild<QMenu*>("menuFile")), (QStringList{"&Print", "Print &Setup", "&Close"}));
  EXPECT_EQ(menu_texts(w->findChild<QMenu*>("menuEdit")), (QStringList{"&Copy"}));
  EXPECT_EQ(menu_texts(w->findChild<QMenu*>("menuTools")), (QStringList{"&Zoom", "&Rotate", "Zoom Re&set"}));
  EXPECT_NE(w->findChild<QAction*>("KV_Zoom"), nullptr);
  EXPECT_NE(w->findChild<QAction*>("KV_Rotate"), nullptr);
}

TEST_F(DisplayWindows, ZoomRotateAndResetFromMenuMouseAndFigureTools) {
  const double h = open("KV_PlotSpectrum");
  DisplayWindow* w = host_->window(h);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  PlotCanvas* c = w->canvas();
  const Limits full = c->figure().axes[0].x;
  auto shown = [&] { return shown_x(c->figure().axes[0], c->view(), 0); };

  KV_Zoom(0, ToolMode::On);  // the current display
  EXPECT_TRUE(w->findChild<QAction*>("KV_Zoom")->isChecked());
  const QRectF plot = c->plot_areas().at(0);
  // A click zooms in twice around the point.
  QTest::mouseClick(c, Qt::LeftButton, {}, plot.center().toPoint());
  EXPECT_NEAR(shown().hi - shown().lo, (full.hi - full.lo) / 2, 1e-6);
  // A flat drag zooms the frequency axis to the dragged span only.
  const Limits y_before = shown_y(c->figure().axes[0], c->view(), 0);
  const QPoint from(int(plot.left() + plot.width() / 4), int(plot.center().y()));
  const QPoint to(int(plot.left() + plot.width() / 2), int(plot.center().y()) + 2);
  QTest::mousePress(c, Qt::LeftButton, {}, from);
  QTest::mouseMove(c, to);
  QTest::mouseRelease(c, Qt::LeftButton, {}, to);
  EXPECT_NEAR(shown().hi - shown().lo, (full.hi - full.lo) / 8, (full.hi - full.lo) / 200);
  EXPECT_EQ(shown_y(c->figure().axes[0], c->view(), 0), y_before);
  // A right click zooms out twice.
  QTest::mouseClick(c, Qt::RightButton, {}, plot.center().toPoint());
  EXPECT_NEAR(shown().hi - shown().lo, (full.hi - full.lo) / 4, (full.hi - full.lo) / 100);

  Registry::instance().call("KV_Rotate", {h, "on"}, 0);
  EXPECT_TRUE(c->rotated());
  EXPECT_TRUE(w->findChild<QAction*>("KV_Rotate")->isChecked());
  w->findChild<QAction*>("menuToolsZoomReset")->trigger();
  EXPECT_EQ(shown(), full);
  EXPECT_FALSE(c->rotated());
  EXPECT_FALSE(w->findChild<QAction*>("KV_Rotate")->isChecked());
  w->findChild<QAction*>("KV_Zoom")->trigger();  // the menu item toggles the tool off
  EXPECT_FALSE(c->zoom_tool());
}

TEST_F(DisplayWindows, LabelsAndSubplotsRedrawTheCurrentWindow) {
  DisplayWindow* w = host_->window(open("KV_PlotCCDF"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  Registry::instance().call("Subplot", {2.0, 1.0, 2.0}, 1);
  Registry::instance().call("Title", {"lower"}, 0);
  Registry::instance().call("Ylabel", {"share"}, 0);
  const Figure& f = w->canvas()->figure();
  // The full-window axes covered the lower cell and made way for it.
  ASSERT_EQ(f.axes.size(), 1u);
  EXPECT_EQ(f.axes[0].cell, 1);
  EXPECT_EQ(f.axes[0].title, "lower");
  EXPECT_EQ(f.axes[0].ylabel, "share");
  const QRectF lower = w->canvas()->plot_areas().at(0);
  EXPECT_GT(lower.top(), w->canvas()->height() / 2.0);
  Registry::instance().call("Subplot", {2.0, 1.0, 1.0}, 1);
  EXPECT_EQ(w->canvas()->plot_areas().size(), 2u);
  Registry::instance().call("Clf", {}, 0);
  EXPECT_TRUE(w->canvas()->figure().axes.empty());
}

TEST_F(DisplayWindows, PrintCopyAndClose) {
  const double h = open("KV_PlotIQTime");
  DisplayWindow* w = host_->window(h);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));

  QTemporaryDir dir;
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(dir.filePath("iq.pdf"));
  w->print_to(printer);
  EXPECT_GT(QFileInfo(dir.filePath("iq.pdf")).size(), 10000);

  QGuiApplication::clipboard()->clear();
  w->findChild<QAction*>("menuEditCopy")->trigger();
  const QImage copied = QGuiApplication::clipboard()->image();
  EXPECT_EQ(copied.size(), w->grab().size());

  QSignalSpy gone(w, &QObject::destroyed);
  w->findChild<QAction*>("menuFileClose")->trigger();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(gone.count(), 1);
  EXPECT_FALSE(host_->exists(h));
  EXPECT_EQ(host_->current(), 0);
  EXPECT_THROW(KV_Zoom(h, ToolMode::On), std::runtime_error);
}

}  // namespace
}  // namespace tarvio::qt

namespace {

// The offscreen platform's notices about window hints it ignores say
// nothing about the tests.
void quiet_platform_notices(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains("does not support propagateSizeHints") || message.startsWith("QStandardPaths:")) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

int main(int argc, char** argv) {
  // No display needed: the offscreen platform unless one is chosen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(quiet_platform_notices);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
