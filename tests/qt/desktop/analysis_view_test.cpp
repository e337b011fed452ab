// The analysis window's view on the offscreen platform: File > Analyze
// Capture... with the sample rate typed in its field fills the packet
// table from the model (failures in red), draws the selected packet's
// three pictures, follows a row the user picks, and closes.
#include "hosts/desktop/analysis_view.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <cstdio>
#include <filesystem>

#include "files/raw_waveform.h"
#include "tests/verify/test_packets.h"
#include "hosts/desktop/desktop_app.h"
#include "qt/displays/plot_canvas.h"
#include "ui/analysis_window.h"
#include "ui/main_window.h"

namespace tarvio::desktop {
namespace {

class OneFile : public ui::FileChooser {
 public:
  explicit OneFile(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> open_file(const std::string&, const std::string&) override { return path_; }
  std::optional<std::string> save_file(const std::string&, const std::string&) override { return std::nullopt; }

 private:
  std::string path_;
};

// Two 6 Mbit/s packets at 20 MHz, the second with a spoiled FCS.
void write_capture(const std::string& path) {
  ASSERT_TRUE(SaveBriscaWaveform(verify::testing::two_packet_capture(5), path));
}

void settle() {
  for (int k = 0; k < 3; ++k) QApplication::processEvents();
}

// Pixels of a picture that are not the background's colour.
int drawn_pixels(const QImage& img) {
  const QRgb bg = img.pixel(0, 0);
  int n = 0;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2) n += img.pixel(x, y) != bg;
  return n;
}

TEST(AnalysisView, TableAndPicturesFollowTheModel) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("tarvio-analysis-view-" + std::to_string(::getpid()) + ".raw");
  write_capture(file.string());
  auto app = std::make_unique<DesktopApp>(DesktopApp::Options{std::make_shared<OneFile>(file.string())});
  app->start_window();
  settle();
  auto* view = qobject_cast<AnalysisView*>(app->view(ui::AnalysisWindow::kTag));
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->isVisible());
  ui::AnalysisWindow& model = app->analysis();

  auto* rate = qobject_cast<QLineEdit*>(app->binding(ui::AnalysisWindow::kTag)->widget("txtSampleRate"));
  ASSERT_NE(rate, nullptr);
  QTest::keyClicks(rate, "20");
  QTest::keyClick(rate, Qt::Key_Return);
  EXPECT_EQ(model.sample_rate(), 20e6);

  app->main_view().menus().action("menuFileAnalyzeCapture")->trigger();
  settle();
  ASSERT_TRUE(view->isVisible());
  QTableWidget* t = view->table();
  ASSERT_EQ(t->rowCount(), 2);
  ASSERT_EQ(t->columnCount(), static_cast<int>(ui::AnalysisWindow::columns().size()));
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < t->columnCount(); ++c)
      EXPECT_EQ(t->item(r, c)->text().toStdString(), model.rows()[static_cast<size_t>(r)][static_cast<size_t>(c)]);
  EXPECT_NE(t->item(0, 0)->foreground().color(), t->item(1, 0)->foreground().color());  // the failure stands out
  EXPECT_EQ(t->currentRow(), 0);
  EXPECT_EQ(view->canvas(0)->figure().name, "Constellation #1");
  EXPECT_EQ(view->canvas(2)->figure().name, "Spectrum Mask #1");
  for (size_t k = 0; k < 3; ++k) EXPECT_GT(drawn_pixels(view->canvas(k)->picture({400, 300})), 500) << k;

  t->setCurrentCell(1, 2);
  settle();
  EXPECT_EQ(model.selected(), std::optional<size_t>(1));
  EXPECT_EQ(view->canvas(1)->figure().name, "EVM #2");

  QTest::mouseClick(qobject_cast<QPushButton*>(app->binding(ui::AnalysisWindow::kTag)->widget("pbClose")),
                    Qt::LeftButton);
  settle();
  EXPECT_FALSE(model.visible());
  EXPECT_FALSE(view->isVisible());
  app.reset();
  std::filesystem::remove(file);
}

// The window fits a small screen (1366 x 768) at 150 % scaling.
TEST(AnalysisView, FitsASmallScreenAt150Percent) {
  DesktopApp app(DesktopApp::Options{std::make_shared<OneFile>("")});
  QWidget* w = app.view(ui::AnalysisWindow::kTag);
  ASSERT_NE(w, nullptr);
  const QSize need = w->minimumSizeHint().expandedTo(w->minimumSize());
  EXPECT_LE(need.width() * 1.5, 1366);
  EXPECT_LE(need.height() * 1.5 + 40, 768);
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
