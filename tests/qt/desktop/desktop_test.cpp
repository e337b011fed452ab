// The desktop program on the offscreen platform, driven through its widgets
// as a user drives it: a widget for every control with the model's tool
// tip, entries that reach the model and come back clamped, the questions of
// the stale-waveform guard with their buttons, a dialog's OK and Cancel, a
// calculation that runs off the window's thread and is cancelled, the
// displays of a calculated waveform, a download to the simulated
// instrument through the I/O dialog's settings, and the figure tools on the
// program's windows.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <thread>

#include "control/packet_log.h"
#include "hosts/desktop/desktop_app.h"
#include "hosts/desktop/qt_reporter.h"
#include "qt/displays/qt_display_host.h"
#include "records/state.h"
#include "runtime/registry.h"
#include "tests/instrument/sim_process.h"
#include "ui/application.h"
#include "ui/frame.h"
#include "ui/main_window.h"

namespace tarvio::desktop {
namespace {

// What a message box showed, and the button it was answered with.
struct Box {
  QString title, text, def;
  QStringList buttons;
};

// Answers the message boxes as they come, from a queue of button texts
// ("" closes the box); a box with no answer left is answered OK.
class BoxAnswerer {
 public:
  BoxAnswerer() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(5);
  }
  std::deque<QString> answers;
  std::vector<Box> seen;

 private:
  void poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    Box b{box->windowTitle(), box->text(), {}, {}};
    // A button shows "&&" as "&".
    auto shown = [](QAbstractButton* button) { return button->text().replace("&&", "&"); };
    if (box->defaultButton()) b.def = shown(box->defaultButton());
    for (QAbstractButton* button : box->buttons())
      if (button->isVisible()) b.buttons << shown(button);
    seen.push_back(b);
    const QString answer = answers.empty() ? QString("OK") : answers.front();
    if (!answers.empty()) answers.pop_front();
    if (answer.isEmpty()) {
      QTest::keyClick(box, Qt::Key_Escape);
      return;
    }
    for (QAbstractButton* button : box->buttons())
      if (shown(button) == answer) {
        button->click();
        return;
      }
    ADD_FAILURE() << "no button " << answer.toStdString() << " in " << b.title.toStdString();
    box->close();
  }
  QTimer timer_;
};

class QueuedFiles : public ui::FileChooser {
 public:
  std::optional<std::string> open_file(const std::string&, const std::string&) override { return std::nullopt; }
  std::optional<std::string> save_file(const std::string&, const std::string&) override { return std::nullopt; }
};

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = std::filesystem::temp_directory_path() / ("tarvio-desktop-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::create_directories(dir_);
    cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    app = std::make_unique<DesktopApp>(DesktopApp::Options{std::make_shared<QueuedFiles>()});
    app->start_window();
    settle();
  }
  void TearDown() override {
    app.reset();
    std::filesystem::current_path(cwd_);
    std::filesystem::remove_all(dir_);
  }
  static void settle() {
    for (int k = 0; k < 3; ++k) QApplication::processEvents();
  }
  template <class W = QWidget>
  W* widget(const std::string& tag, const std::string& window = "figMain") {
    W* w = qobject_cast<W*>(app->binding(window)->widget(tag));
    EXPECT_NE(w, nullptr) << window << "." << tag;
    return w;
  }
  void type(const std::string& tag, const QString& text, const std::string& window = "figMain") {
    auto* e = widget<QLineEdit>(tag, window);
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
  }
  void click(const std::string& tag, const std::string& window = "figMain") {
    QTest::mouseClick(widget<QPushButton>(tag, window), Qt::LeftButton);
  }
  void menu(const std::string& tag) { app->main_view().menus().action(tag)->trigger(); }
  Parameters& p() { return state().parameters; }

  std::unique_ptr<DesktopApp> app;
  BoxAnswerer boxes;
  std::filesystem::path dir_, cwd_;
};

TEST_F(Desktop, EveryControlHasAWidgetNamedByItsTagWithItsToolTip) {
  size_t controls = 0;
  for (ui::Window* w : app->windows()) {
    WindowBinding* b = app->binding(w->tag());
    ASSERT_NE(b, nullptr) << w->tag();
    QWidget* view = app->view(w->tag());
    for (const ui::ControlSpec& spec : w->table()) {
      QWidget* widget = b->widget(spec.tag);
      ASSERT_NE(widget, nullptr) << w->tag() << "." << spec.tag;
      EXPECT_EQ(widget->objectName().toStdString(), spec.tag);
      EXPECT_EQ(widget->toolTip().toStdString(), w->at(spec.tag).tooltip) << spec.tag;
      EXPECT_EQ(widget->window(), view) << spec.tag;  // laid out in its own window
      ++controls;
    }
  }
  EXPECT_GT(controls, 200u);
  EXPECT_EQ(widget("pdDataRate")->toolTip(), "Selects the data rate.");
  // The menu bar: every item by its tag, hidden ones hidden.
  EXPECT_EQ(app->main_view().menus().action("menuFileExit")->text(), "E&xit");
  EXPECT_FALSE(app->main_view().menus().action("menuPlotWaterfall")->isVisible());
  EXPECT_TRUE(app->main_view().menus().action("menuConfigBBG1Opt602")->isChecked());
}

TEST_F(Desktop, EntriesReachTheModelAndComeBackClamped) {
  type("txtNumberOfPackets", "5000");
  EXPECT_EQ(p().numberOfPackets, 2000);
  EXPECT_EQ(widget<QLineEdit>("txtNumberOfPackets")->text(), "2000");
  type("txtNumberOfPackets", "0");
  EXPECT_EQ(widget<QLineEdit>("txtNumberOfPackets")->text(), "1");

  auto* channels = widget<QComboBox>("pdChannels");
  channels->setFocus();
  QTest::keyClick(channels, Qt::Key_End);  // channel 14
  EXPECT_EQ(state().sigGenSettings.Frequency, 2484000000.0);
  EXPECT_EQ(widget<QLineEdit>("txtFrequency")->text(), "2.484");

  auto* rate = widget<QComboBox>("pdDataRate");
  QTest::keyClick(rate, Qt::Key_Up);  // from 11 to 9 Mbit/s: the OFDM controls
  EXPECT_EQ(p().format, 1);
  EXPECT_TRUE(widget("txtScramblerInit")->isVisible());
  EXPECT_FALSE(widget("txtRampTime")->isVisible());
  type("txtScramblerInit", "FF");
  EXPECT_EQ(p().scramblerInit, 127);
  EXPECT_EQ(widget<QLineEdit>("txtScramblerInit")->text(), "7F");

  QTest::mouseClick(widget("chkMACheader"), Qt::LeftButton);
  EXPECT_EQ(p().MACheader.Active, 0);
  EXPECT_FALSE(widget("pbMACheaderSetup")->isEnabled());
}

TEST_F(Desktop, DownloadBeforeCalculatingAsksWithItsButtons) {
  boxes.answers = {"Cancel"};
  click("pbDownload");
  ASSERT_EQ(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.seen[0].title, "Waveform Not Calculated");
  EXPECT_EQ(boxes.seen[0].text,
            "The waveform has not yet been calculated. Do you wish to calculate\nthe waveform and then download ?");
  EXPECT_EQ(boxes.seen[0].buttons, (QStringList{"Calculate & Download", "Cancel"}));
  EXPECT_EQ(boxes.seen[0].def, "Calculate & Download");
  EXPECT_TRUE(state().appInfo.LastCalcTimeStamp.empty());
}

// The help and the version need no display: the program answers them
// before it reaches the window system.
TEST(DesktopProgram, HelpAndVersionWithoutADisplay) {
  for (const char* option : {"--help", "--version"}) {
    const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + std::string(TARVIO_BIN) +
                            "/tarvio' " + option + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[512];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int status = ::pclose(p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << option << ": " << out;
    EXPECT_EQ(out.rfind(std::string(option) == "--help" ? "usage: tarvio" : "tarvio ", 0), 0u) << out;
  }
}

TEST_F(Desktop, ClosingAQuestionAnswersWithNoButton) {
  QtReporter r;
  boxes.answers = {"", "No"};
  EXPECT_EQ(r.ask("T", "Q?", {"Yes", "No"}, "Yes"), "");
  EXPECT_EQ(r.ask("T", "Q?", {"Yes", "No"}, "Yes"), "No");
}

TEST_F(Desktop, DialogOkKeepsTheEditAndCancelDropsIt) {
  QWidget* view = app->view("figMACconfig");
  click("pbMACheaderSetup");
  ASSERT_TRUE(view->isVisible());
  EXPECT_TRUE(view->isModal());
  type("txtAddress1", "FFFFFFFFFFFFFF", "figMACconfig");
  EXPECT_EQ(widget<QLineEdit>("txtAddress1", "figMACconfig")->text(), "FFFFFFFFFFFF");
  click("pbOK", "figMACconfig");
  EXPECT_FALSE(view->isVisible());
  EXPECT_EQ(p().MACheader.Contents.Address1.Contents, std::pow(2.0, 48) - 1);

  const double before = p().MACheader.Contents.Address2.Contents;
  click("pbMACheaderSetup");
  EXPECT_EQ(app->view("figMACconfig"), view);  // the same window, not rebuilt
  type("txtAddress2", "1", "figMACconfig");
  QTest::keyClick(view, Qt::Key_Escape);  // as Cancel
  EXPECT_FALSE(view->isVisible());
  EXPECT_EQ(p().MACheader.Contents.Address2.Contents, before);
}

TEST_F(Desktop, CalculationRunsOffTheWindowThreadAndCancelKeepsTheLastWaveform) {
  click("pbCalculate");  // one 11 Mbit/s packet
  ASSERT_FALSE(state().appInfo.LastCalcTimeStamp.empty());
  const CVec waveform = state().waveform;
  const auto stamp = state().appInfo.LastCalcTimeStamp;
  const auto file_size = std::filesystem::file_size(p().multiFrame.tmpFileName);

  // 2000 long 54 Mbit/s packets (they fit the instrument's memory), each
  // numbered anew and so generated one by one: far more work than the
  // moment the test needs to see two of them done.
  app->main().choose("pdDataRate", 14);
  type("txtDataLength", "4000");
  type("txtNumberOfPackets", "2000");
  bool seen_busy = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    // The window's thread goes on while the calculation runs, and the
    // packets it reports come from the worker thread's watch.
    if (!app->working() || app->main_view().progress()->value() < 2) return;
    seen_busy = true;
    EXPECT_FALSE(widget("pbCalculate")->isEnabled());
    EXPECT_FALSE(app->main_view().menuBar()->isEnabled());
    QTest::mouseClick(app->main_view().cancel_button(), Qt::LeftButton);
    watch.stop();
  });
  watch.start(10);
  click("pbCalculate");  // returns when the calculation has ended
  EXPECT_TRUE(seen_busy);
  EXPECT_EQ(boxes.seen.size(), 1u);  // the long-calculation warning
  EXPECT_EQ(state().waveform, waveform);
  EXPECT_EQ(state().appInfo.LastCalcTimeStamp, stamp);
  EXPECT_EQ(std::filesystem::file_size(p().multiFrame.tmpFileName), file_size);
  EXPECT_EQ(widget<QLabel>("txtStatusBar")->text(), "Calculation cancelled; the waveform calculated before is kept.");
  EXPECT_TRUE(widget("pbCalculate")->isEnabled());
  EXPECT_FALSE(app->main_view().cancel_button()->isVisible());
}

TEST_F(Desktop, FileExitLeavesNoPacketFile) {
  click("pbCalculate");
  const std::string packets = p().multiFrame.tmpFileName;
  ASSERT_TRUE(std::filesystem::exists(packets));
  menu("menuFileExit");
  settle();
  app.reset();
  EXPECT_FALSE(std::filesystem::exists(packets));
  EXPECT_FALSE(std::filesystem::exists(packets + ".markers"));
}

TEST_F(Desktop, EachDisplayOpensOnTheCalculatedWaveform) {
  click("pbCalculate");
  for (const char* m : {"menuPlotSpectrum", "menuPlotIQTime", "menuPlotIQTimeSameAxes", "menuPlotCCDF"}) menu(m);
  const std::vector<double> open = app->displays().handles();
  ASSERT_EQ(open.size(), 4u);
  const char* names[] = {"Magnitude Spectrum Tarvio (", "I(t) Q(t) Tarvio (", "I(t) Q(t) Tarvio (", "CCDF Tarvio ("};
  for (size_t k = 0; k < 4; ++k) {
    QWidget* w = app->displays().window(open[k]);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->windowTitle().startsWith(names[k])) << w->windowTitle().toStdString();
  }
  EXPECT_EQ(state().appInfo.ClientWindows.size(), 4u);
  EXPECT_TRUE(boxes.seen.empty());
}

// A display stands in for a long computation: it holds its thread until
// the window's thread has shown it is still handling events, then opens the
// CCDF of the samples it was given.
std::atomic<bool> g_window_ticked{false};
std::thread::id g_display_thread;

TARVIO_OP("TestSlowDisplay", 4, 1, [](const Args& in, int) -> std::vector<Value> {
  g_display_thread = std::this_thread::get_id();
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!g_window_ticked && std::chrono::steady_clock::now() < give_up)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return Registry::instance().call("KV_PlotCCDF", in, 1);
});

TEST_F(Desktop, DisplaysAreComputedOffTheWindowThreadWhileTheWindowStaysLive) {
  click("pbCalculate");
  g_window_ticked = false;
  bool controls_off = false;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (!app->working()) return;
    controls_off = !widget("pbCalculate")->isEnabled() && !app->main_view().menuBar()->isEnabled();
    g_window_ticked = true;
  });
  tick.start(5);
  app->frame().plot("TestSlowDisplay", {});
  tick.stop();
  EXPECT_TRUE(g_window_ticked);
  EXPECT_TRUE(controls_off);
  EXPECT_NE(g_display_thread, std::this_thread::get_id());
  // The window itself was made on the window's thread, and the controls
  // are back.
  const std::vector<double> open = app->displays().handles();
  ASSERT_EQ(open.size(), 1u);
  QWidget* w = app->displays().window(open[0]);
  EXPECT_EQ(w->thread(), QApplication::instance()->thread());
  EXPECT_TRUE(w->windowTitle().startsWith("CCDF Tarvio (")) << w->windowTitle().toStdString();
  EXPECT_EQ(state().appInfo.ClientWindows.size(), 1u);
  EXPECT_TRUE(widget("pbCalculate")->isEnabled());
}

TEST_F(Desktop, DownloadReachesTheSimulatorThroughTheIoDialogSettings) {
  tarvio::testing::SimProcess sim({"--port", "0", "--store", (dir_ / "store").string()});
  menu("menuConfigSigGenIO");
  ASSERT_TRUE(app->view("figIOConfig")->isVisible());
  auto* connection = widget<QComboBox>("pdConnection", "figIOConfig");
  const int lan = connection->findText("TCP/IP");
  ASSERT_GE(lan, 0);
  connection->setCurrentIndex(lan);
  emit connection->activated(lan);
  type("txtAddress", QString::fromStdString(sim.address()), "figIOConfig");
  click("pbOK", "figIOConfig");
  ASSERT_EQ(state().configuration.type, "TCPIP");

  boxes.answers = {"Calculate & Download", "OK"};
  click("pbDownload");
  ASSERT_EQ(boxes.seen.size(), 2u);
  EXPECT_EQ(boxes.seen[1].title, "Download Completed");
  EXPECT_FALSE(std::filesystem::is_empty(dir_ / "store"));
}

TEST_F(Desktop, FigureToolsActOnTheProgramsWindows) {
  Registry& r = Registry::instance();
  EXPECT_EQ(r.call("KV_Splash", {}, 1).at(0).str(), "figSplash");
  EXPECT_TRUE(app->splash().isVisible());
  r.call("KV_About", {Value("figMain")}, 1);
  EXPECT_TRUE(app->view("figAbout")->isVisible());
  const double size = app->view("figAbout")->font().pointSizeF();
  r.call("ResizeAllFonts", {Value("figAbout"), Value(2.0)});
  EXPECT_DOUBLE_EQ(app->view("figAbout")->font().pointSizeF(), 2 * size);
  r.call("Movegui", {Value("figAbout"), Value("northwest")});
  EXPECT_EQ(app->view("figAbout")->frameGeometry().topLeft(),
            QGuiApplication::primaryScreen()->availableGeometry().topLeft());

  QImage picture(3, 2, QImage::Format_RGB32);
  picture.fill(QColor(10, 20, 30));
  const std::string png = (dir_ / "p.png").string();
  ASSERT_TRUE(picture.save(QString::fromStdString(png)));
  const std::vector<Value> planes = r.call("Imread", {Value(png)}, 3);
  EXPECT_EQ(planes[0].rows(), 2u);
  EXPECT_EQ(planes[0].cols(), 3u);
  EXPECT_EQ(planes[2].re()[0], 30);
}

// At 150 % scaling every window still fits a 1366 x 768 screen with room for
// a task bar, so no control is ever out of reach on a small laptop.
TEST_F(Desktop, EveryWindowFitsASmallScreenAt150Percent) {
  for (const char* tag : {"figMain", "figMACconfig", "figCarriers", "figPhading", "figClkSwitch", "figAdvSettings",
                          "figIOConfig", "figAbout"}) {
    QWidget* w = app->view(tag);
    ASSERT_NE(w, nullptr) << tag;
    const QSize need = w->minimumSizeHint().expandedTo(w->minimumSize());
    EXPECT_LE(need.width() * 1.5, 1366) << tag;
    EXPECT_LE(need.height() * 1.5 + 40, 768) << tag;  // title bar and task bar
  }
}

// The offscreen platform's notices about window hints it ignores say
// nothing about the tests.
void quiet_platform_notices(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains("does not support") || message.startsWith("QStandardPaths:")) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace
}  // namespace tarvio::desktop

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(tarvio::desktop::quiet_platform_notices);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
