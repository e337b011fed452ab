// The displays whose menu entries are hidden: eye diagram stretches, the
// scatter plane and the waterfall image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "displays/eye_diagram.h"
#include "displays/scatter_diagram.h"
#include "displays/waterfall.h"

namespace tarvio {
namespace {

TEST(EyeDiagram, StretchesOfTwoSymbolsThatFitTheWaveform) {
  CVec x(40);
  for (size_t k = 0; k < x.size(); ++k) x[k] = cplx(double(k), -double(k)) * 1e-3;
  // 4 samples per symbol, 2 in: stretches start at 2, 6, ... 30 (the one at
  // 34 would run past the end), each 9 samples long, NaN after each.
  const Figure f = eye_diagram_figure(x, "T", 4, 100, 2);
  EXPECT_EQ(f.name, "Eye Diagram T");
  ASSERT_EQ(f.axes.size(), 2u);
  const Trace& i = f.axes[0].traces.at(0);
  EXPECT_EQ(i.size(), 8u * 10);
  EXPECT_DOUBLE_EQ((*i.y)[0], 2);        // mV
  EXPECT_DOUBLE_EQ((*i.y)[78], 30 + 8);  // last sample of the last stretch
  EXPECT_TRUE(std::isnan((*i.y)[9]));
  EXPECT_EQ(i.x_at(8), 2);
  EXPECT_EQ(f.axes[0].x, (Limits{0, 2}));
  EXPECT_EQ(eye_diagram_figure(x, "T", 4, 3, 0).axes[0].traces[0].size(), 30u);
  EXPECT_EQ(eye_diagram_figure(x, "T", 4, 10, 40).axes.at(0).note, "No Data");
}

TEST(ScatterDiagram, QAgainstIOnEqualAxes) {
  const Figure f = scatter_figure({cplx(0.5, 0), cplx(0, -0.25)}, "T", false);
  EXPECT_EQ(f.name, "Scatter Diagram T");
  const Axes& a = f.axes.at(0);
  EXPECT_EQ(a.x, a.y);
  EXPECT_EQ(a.xlabel, "In-phase (mV)");
  EXPECT_EQ(a.traces.at(0).style, LineStyle::Points);
  EXPECT_EQ(a.traces[0].x_at(0), 500);
  EXPECT_EQ((*a.traces[0].y)[1], -250);
  EXPECT_EQ(scatter_figure({cplx(1, 1)}, "T", true).axes[0].traces[0].style, LineStyle::Solid);
}

TEST(Waterfall, ToneShowsInItsColumnInEveryRow) {
  const double fs = 1e6;
  CVec x(256 * 1500);  // 1500 blocks: 3 per row, 500 rows
  for (size_t k = 0; k < x.size(); ++k) x[k] = std::polar(1.0, 2 * std::numbers::pi * 32 * double(k) / 256);
  const Figure f = waterfall_figure(x, fs, "T");
  const ImageLayer& img = *f.axes.at(0).image;
  EXPECT_EQ(img.cols, 256u);
  EXPECT_EQ(img.rows, 500u);
  for (size_t r : {0u, 250u, 499u}) {
    const float* row = &img.values[r * img.cols];
    EXPECT_EQ(std::max_element(row, row + img.cols) - row, 128 + 32) << r;
    EXPECT_EQ(row[128 + 32], 0.0f);
  }
  EXPECT_DOUBLE_EQ(img.x_lo, -500);  // kHz
  EXPECT_EQ(f.axes[0].xlabel, "Frequency (kHz)");
  EXPECT_EQ(waterfall_figure({}, fs, "T").axes.at(0).note, "No Data");
}

}  // namespace
}  // namespace tarvio
