// The I(t) Q(t) display: units from the last time and the largest
// component, two axes or one, data limits, "No Data".
#include "displays/iq_time.h"

#include <gtest/gtest.h>

namespace tarvio {
namespace {

// 1001 samples at 44 MHz: the last is at 22.7 us; the largest component is
// 0.5 V.
CVec ramp() {
  CVec x(1001);
  for (size_t k = 0; k < x.size(); ++k) x[k] = cplx(0.5 * double(k) / 1000, -0.25 + 0.0001 * double(k));
  return x;
}

TEST(IqTimeFigure, SeparateAxesWithUnitsAndDataLimits) {
  const Figure f = iq_time_figure(ramp(), 44e6, "T", false);
  EXPECT_EQ(f.name, "I(t) Q(t) T");
  ASSERT_EQ(f.axes.size(), 2u);
  const Axes &i = f.axes[0], &q = f.axes[1];
  EXPECT_EQ(i.title, "I(t)");
  EXPECT_EQ(q.title, "Q(t)");
  EXPECT_EQ(i.cell, 0);
  EXPECT_EQ(q.cell, 1);
  for (const Axes* a : {&i, &q}) {
    EXPECT_EQ(a->grid_rows, 2);
    EXPECT_EQ(a->xlabel, "Time (uS)");
    EXPECT_EQ(a->ylabel, "Amplitude (mV)");
    EXPECT_DOUBLE_EQ(a->x.hi, 1000 / 44.0);
    ASSERT_EQ(a->traces.size(), 1u);
  }
  EXPECT_EQ(i.y, (Limits{0, 500}));
  EXPECT_NEAR(q.y.lo, -250, 1e-9);
  EXPECT_NEAR(q.y.hi, -150, 1e-9);
  EXPECT_EQ(q.traces[0].rgb, 0xFF00FFu);  // Q in magenta
  EXPECT_DOUBLE_EQ((*i.traces[0].y)[1000], 500);
  EXPECT_DOUBLE_EQ(i.traces[0].x_at(44), 1);  // sample 44 at 1 us
}

TEST(IqTimeFigure, OverlaidOnOneAxes) {
  const Figure f = iq_time_figure(ramp(), 44e6, "T", true);
  ASSERT_EQ(f.axes.size(), 1u);
  const Axes& a = f.axes[0];
  EXPECT_EQ(a.title, "I(t) Q(t)");
  ASSERT_EQ(a.traces.size(), 2u);
  EXPECT_EQ(a.traces[0].label, "I (mV)");
  EXPECT_EQ(a.traces[1].label, "Q (mV)");
  EXPECT_NEAR(a.y.lo, -250, 1e-9);
  EXPECT_NEAR(a.y.hi, 500, 1e-9);
}

TEST(IqTimeFigure, EmptyAndDegenerateWaveforms) {
  for (bool overlaid : {false, true}) {
    const Figure f = iq_time_figure({}, 1e6, "T", overlaid);
    ASSERT_EQ(f.axes.size(), 1u);
    EXPECT_EQ(f.axes[0].note, "No Data");
  }
  // One sample: the axes keep a length on both sides.
  const Figure one = iq_time_figure(CVec{cplx(2, 2)}, 1e6, "T", true);
  EXPECT_LT(one.axes[0].x.lo, one.axes[0].x.hi);
  EXPECT_LT(one.axes[0].y.lo, one.axes[0].y.hi);
  EXPECT_EQ(one.axes[0].ylabel, "Amplitude (V)");
  EXPECT_THROW(iq_time_figure(CVec{cplx(1, 0)}, -1, "T", true), std::invalid_argument);
}

}  // namespace
}  // namespace tarvio
