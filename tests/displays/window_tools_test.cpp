// The figure tools that act on the desktop's own windows, against recording
// desktop windows over the window model: the about box's parent check, the
// places and font factors they pass on, the data kept with a window, the
// picture readers, the plain displays, and the error each one gives where
// no desktop is running.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "displays/desktop_windows.h"
#include "displays/display_host.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/registry.h"
#include "runtime/report.h"
#include "ui/about.h"
#include "ui/application.h"

namespace tarvio {
namespace {

class FakeDesktop : public DesktopWindows {
 public:
  std::string splash() override {
    ++splashes;
    shown.insert("figSplash");
    return "figSplash";
  }
  bool exists(const std::string& w) const override {
    return w == "figSplash" ? shown.count(w) != 0 : ui::current_application()->find_window(w) != nullptr;
  }
  void raise(const std::string& w) override { raised.push_back(w); }
  void move(const std::string& w, const std::string& where, int x, int y) override {
    moves.push_back(w + " " + where + " " + std::to_string(x) + "," + std::to_string(y));
  }
  void scale_fonts(const std::string& w, double f) override { factors[w] = f; }
  Picture read_picture(const std::string&) override {
    Picture p;
    p.rows = 2;
    p.cols = 3;
    p.red.assign(6, 255);
    p.green.assign(6, 0);
    p.blue.assign(6, 7);
    return p;
  }
  int splashes = 0;
  std::set<std::string> shown;
  std::vector<std::string> raised, moves;
  std::map<std::string, double> factors;
};

// Opens every figure and remembers it.
class FakeDisplays : public DisplayHost {
 public:
  double open(Figure f, double) override {
    names.push_back(f.name);
    return double(names.size());
  }
  Figure* figure(double) override { return nullptr; }
  void changed(double) override {}
  double current() const override { return 0; }
  void tool(double, FigureTool, ToolMode) override {}
  bool exists(double) const override { return false; }
  void close(double) override {}
  std::vector<std::string> names;
};

std::vector<Value> call(const std::string& op, const Args& args, int nout = 0) {
  return Registry::instance().call(op, args, nout);
}

// Each tool with as many arguments as it takes.
const std::pair<const char*, size_t> kDesktopTools[] = {
    {"KV_Splash", 0}, {"KV_About", 1}, {"Openfig", 1}, {"Guidata", 1}, {"Guihandles", 1},
    {"Movegui", 2},   {"Imread", 1},   {"Readjpg", 1}, {"Rjpgc", 1},   {"ResizeAllFonts", 2}};

TEST(WindowToolsWithoutDesktop, EachSaysItNeedsTheDesktop) {
  for (const auto& [op, n] : kDesktopTools) {
    try {
      const Args args = {Value("figMain"), Value(1.0)};
      call(op, Args(args.begin(), args.begin() + long(n)));
      ADD_FAILURE() << op << " ran without a desktop";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(std::string(op) + ": no desktop windows", 0), 0u) << e.what();
    }
  }
  for (const char* op : {"Eyediagram", "Scatterplot", "Waterfall"}) {
    try {
      call(op, {Value::complex_row(CVec(8, cplx(1, 0))), Value(4.0)});
      ADD_FAILURE() << op << " ran without a desktop";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(std::string(op) + ": no display windows", 0), 0u) << e.what();
    }
  }
}

class WindowTools : public ::testing::Test {
 protected:
  void SetUp() override {
    old_rep = set_reporter(std::make_shared<RecordingReporter>());
    app = std::make_unique<ui::Application>();
    app->start_window();
    old_desktop = set_desktop_windows(desktop);
    old_displays = set_display_host(displays);
  }
  void TearDown() override {
    set_display_host(old_displays);
    set_desktop_windows(old_desktop);
    app.reset();
    set_reporter(old_rep);
  }
  std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
  std::shared_ptr<FakeDisplays> displays = std::make_shared<FakeDisplays>();
  std::shared_ptr<DesktopWindows> old_desktop;
  std::shared_ptr<DisplayHost> old_displays;
  std::shared_ptr<Reporter> old_rep;
  std::unique_ptr<ui::Application> app;
};

TEST_F(WindowTools, AboutNeedsAParentWindowAndShowsTheGivenTexts) {
  for (const Value& bad : {Value(12.0), Value("figNothing")}) {
    try {
      call("KV_About", {bad});
      ADD_FAILURE() << "no error";
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), "Input argument must be a handle to parent");
    }
  }
  AppInfo info = state().appInfo;
  info.Name = "Bench set-up";
  EXPECT_EQ(call("KV_About", {Value("figMain"), to_value(info)}, 1).at(0).str(), "figAbout");
  EXPECT_TRUE(app->about().visible());
  EXPECT_EQ(app->about().at("lblLine1").text, "Bench set-up");
  EXPECT_EQ(desktop->raised, (std::vector<std::string>{"figAbout"}));
}

TEST_F(WindowTools, SplashPlacesAndFontsReachTheDesktop) {
  EXPECT_EQ(call("KV_Splash", {}, 1).at(0).str(), "figSplash");
  call("Movegui", {Value("figSplash"), Value("center")});
  call("Movegui", {Value("dot11_MACconfig.fig"), Value::row(std::vector<double>{10, 20})});
  call("Movegui", {Value("figMain")});
  EXPECT_EQ(desktop->moves,
            (std::vector<std::string>{"figSplash center 0,0", "figMACconfig  10,20", "figMain onscreen 0,0"}));
  EXPECT_THROW(call("Movegui", {Value("figMain"), Value("middle")}), std::invalid_argument);
  call("ResizeAllFonts", {Value("figMain"), Value(1.5)});
  EXPECT_EQ(desktop->factors["figMain"], 1.5);
  EXPECT_THROW(call("ResizeAllFonts", {Value("figMain"), Value(0.0)}), std::invalid_argument);
  EXPECT_EQ(call("Openfig", {Value("phading_GUI.fig")}, 1).at(0).str(), "figPhading");
}

TEST_F(WindowTools, GuidataKeepsDataWithTheWindowAndGuihandlesNamesItsControls) {
  const Value handles = call("Guihandles", {Value("figClkSwitch")}, 1).at(0);
  EXPECT_EQ(handles.record().at("txtTail").str(), "figClkSwitch.txtTail");
  EXPECT_EQ(call("Guidata", {Value("figClkSwitch")}, 1).at(0), handles);  // nothing stored yet
  Record mine;
  mine.set("note", Value("kept"));
  call("Guidata", {Value("figClkSwitch.txtHead"), Value(mine)});
  EXPECT_EQ(call("Guidata", {Value("figClkSwitch")}, 1).at(0).record().at("note").str(), "kept");
}

TEST_F(WindowTools, PictureReadersGiveColourPlanesAndTheJpegReadersCheckTheFile) {
  const std::vector<Value> planes = call("Imread", {Value("any.png")}, 3);
  ASSERT_EQ(planes.size(), 3u);
  EXPECT_EQ(planes[0].rows(), 2u);
  EXPECT_EQ(planes[0].cols(), 3u);
  EXPECT_EQ(planes[2].re()[5], 7);
  const auto png = std::filesystem::temp_directory_path() / "tarvio-window-tools.png";
  std::ofstream(png, std::ios::binary) << "\x89PNG\r\n";
  for (const char* op : {"Readjpg", "Rjpgc"}) {
    try {
      call(op, {Value(png.string())}, 3);
      ADD_FAILURE() << op << " took a PNG file";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("is not a JPEG file"), std::string::npos) << e.what();
    }
  }
  std::filesystem::remove(png);
}

TEST_F(WindowTools, PlainDisplaysOpenTheirFigures) {
  const Value x = Value::complex_row(CVec(64, cplx(1, -1)));
  call("Eyediagram", {x, Value(8.0)}, 1);
  call("Scatterplot", {x, Value(2.0), Value(1.0)}, 1);
  call("Waterfall", {x, Value(1e6)}, 1);
  EXPECT_EQ(displays->names, (std::vector<std::string>{"Eye Diagram ", "Scatter Diagram ", "Waterfall "}));
  EXPECT_THROW(call("Eyediagram", {x, Value(1.0)}, 1), std::invalid_argument);
}

}  // namespace
}  // namespace tarvio
