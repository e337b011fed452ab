// The figure tools against a recording display host: what each opens, the
// labels and subplots they change, the tool modes they pass, and the error
// every one of them gives where no desktop is running.
#include "displays/figure_tools.h"

#include <gtest/gtest.h>

#include <map>

#include "runtime/registry.h"

namespace tarvio {
namespace {

class FakeHost : public DisplayHost {
 public:
  double open(Figure f, double parent) override {
    const double h = ++last_;
    windows[h] = std::move(f);
    parents[h] = parent;
    current_ = h;
    return h;
  }
  Figure* figure(double h) override {
    auto it = windows.find(h);
    return it == windows.end() ? nullptr : &it->second;
  }
  void changed(double h) override { ++redraws[h]; }
  double current() const override { return current_; }
  void tool(double h, FigureTool t, ToolMode m) override { tools.push_back({h, t, m}); }
  bool exists(double h) const override { return windows.count(h) != 0; }
  void close(double h) override {
    windows.erase(h);
    if (current_ == h) current_ = 0;
  }

  struct ToolCall {
    double handle;
    FigureTool tool;
    ToolMode mode;
  };
  std::map<double, Figure> windows;
  std::map<double, double> parents;
  std::map<double, int> redraws;
  std::vector<ToolCall> tools;

 private:
  double last_ = 0, current_ = 0;
};

class FigureTools : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = set_display_host(host_); }
  void TearDown() override { set_display_host(previous_); }
  std::shared_ptr<FakeHost> host_ = std::make_shared<FakeHost>();
  std::shared_ptr<DisplayHost> previous_;
  const CVec wave_ = CVec(64, cplx(0.5, -0.5));
};

TEST_F(FigureTools, EachDisplayOpensItsFigureUnderTheParent) {
  const struct {
    const char* op;
    Args args;
    const char* name;
    size_t axes;
  } cases[] = {
      {"KV_PlotSpectrum", {7.0, Value::complex_row(wave_), 1e6, "T"}, "Magnitude Spectrum T", 1},
      {"KV_PlotIQTime", {7.0, Value::complex_row(wave_), 1e6, "T"}, "I(t) Q(t) T", 2},
      {"KV_PlotIQTime", {7.0, Value::complex_row(wave_), 1e6, "T", 1.0}, "I(t) Q(t) T", 1},
      {"KV_PlotCCDF", {7.0, Value::complex_row(wave_), 1e6, "T"}, "CCDF T", 1},
      {"KV_PlotCCDFGated", {7.0, Value::complex_row(wave_), 1e6, "T"}, "CCDF T", 1},
      {"KV_PlotWaterfall", {7.0, Value::complex_row(wave_), 1e6, "T"}, "Waterfall T", 1},
      {"KV_PlotEyeDiagram", {7.0, Value::complex_row(wave_), 1e6, "T", 4.0, 5.0, 1.0}, "Eye Diagram T", 2},
      {"KV_PlotScatterDiagram", {7.0, Value::complex_row(wave_), 1e6, "T", 1.0}, "Scatter Diagram T", 1},
  };
  for (const auto& c : cases) {
    const double h = Registry::instance().call(c.op, c.args).at(0).to_double();
    ASSERT_TRUE(host_->exists(h)) << c.op;
    EXPECT_EQ(host_->windows[h].name, c.name);
    EXPECT_EQ(host_->windows[h].axes.size(), c.axes) << c.op;
    EXPECT_EQ(host_->parents[h], 7.0);
  }
}

TEST_F(FigureTools, LabelsSubplotsAndClearActOnTheCurrentDisplay) {
  Title("before any display");  // opens an empty display to hold it
  ASSERT_EQ(host_->windows.size(), 1u);
  EXPECT_EQ(host_->windows[1].axes.at(0).title, "before any display");

  const double h = KV_PlotIQTime(0, wave_, 1e6, "T", false);
  EXPECT_EQ(Subplot(2, 1, 2), 2);  // the existing lower axes becomes current
  Ylabel("Volts");
  EXPECT_EQ(host_->windows[h].axes[1].ylabel, "Volts");
  EXPECT_EQ(host_->windows[h].axes[0].ylabel, "Amplitude (mV)");
  // A 1 x 2 grid's left half covers both rows: both axes make way for it.
  Subplot(1, 2, 1);
  Xlabel("left");
  Figure& f = host_->windows[h];
  ASSERT_EQ(f.axes.size(), 1u);
  EXPECT_EQ(f.axes[0].xlabel, "left");
  EXPECT_EQ(f.axes[0].grid_cols, 2);
  Clf(0);
  EXPECT_TRUE(f.axes.empty());
  EXPECT_GE(host_->redraws[h], 4);
  EXPECT_THROW(Subplot(2, 2, 5), std::invalid_argument);
}

TEST_F(FigureTools, ZoomAndRotatePassTheirModeToTheWindow) {
  EXPECT_THROW(KV_Zoom(0, ToolMode::On), std::runtime_error);  // nothing open
  const double h = KV_PlotCCDF(0, wave_, 1e6, "T");
  Registry::instance().call("KV_Zoom", {"on"}, 0);
  Registry::instance().call("KV_Rotate", {h}, 0);
  Registry::instance().call("KV_Zoom", {h, "reset"}, 0);
  ASSERT_EQ(host_->tools.size(), 3u);
  EXPECT_EQ(host_->tools[0].mode, ToolMode::On);
  EXPECT_EQ(host_->tools[1].tool, FigureTool::Rotate);
  EXPECT_EQ(host_->tools[1].mode, ToolMode::Toggle);
  EXPECT_EQ(host_->tools[2].mode, ToolMode::Reset);
  EXPECT_THROW(Registry::instance().call("KV_Zoom", {"sideways"}, 0), std::invalid_argument);
  EXPECT_THROW(KV_Rotate(h + 1, ToolMode::On), std::runtime_error);
}

TEST(FigureToolsWithoutDesktop, EveryToolSaysItNeedsTheDesktop) {
  ASSERT_EQ(display_host(), nullptr);
  const Value w = Value::complex_row(CVec(8, cplx(1, 0)));
  const std::vector<std::pair<const char*, Args>> calls = {
      {"KV_PlotSpectrum", {0.0, w, 1e6, "T"}},
      {"KV_PlotIQTime", {0.0, w, 1e6, "T"}},
      {"KV_PlotCCDF", {0.0, w, 1e6, "T"}},
      {"KV_PlotWaterfall", {0.0, w, 1e6, "T"}},
      {"KV_PlotEyeDiagram", {0.0, w}},
      {"KV_PlotScatterDiagram", {0.0, w}},
      {"KV_Zoom", {}},
      {"KV_Rotate", {}},
      {"Clf", {}},
      {"Title", {"x"}},
      {"Xlabel", {"x"}},
      {"Ylabel", {"x"}},
      {"Subplot", {1.0, 1.0, 1.0}},
  };
  for (const auto& [op, args] : calls) {
    try {
      Registry::instance().call(op, args, 0);
      ADD_FAILURE() << op << " did not fail";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(std::string(op) + ": no display windows"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace tarvio
