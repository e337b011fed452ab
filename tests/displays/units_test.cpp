// Unit choice for the display axes: the coarsest unit that keeps the largest
// value at least 1, exact on the unit boundaries.
#include "displays/units.h"

#include <gtest/gtest.h>

namespace tarvio {
namespace {

struct UnitCase {
  AxisUnit (*choose)(double);
  double value;
  const char* name;
  double shown;
};

TEST(AxisUnits, CoarsestUnitKeepingTheValueAtLeastOne) {
  const UnitCase cases[] = {
      {frequency_unit, 22e6, "MHz", 22},
      {frequency_unit, 1e9, "GHz", 1},
      {frequency_unit, 999999, "kHz", 999.999},
      {frequency_unit, 0.5, "Hz", 0.5},
      {time_unit, 2.5, "S", 2.5},
      {time_unit, 1e-3, "mS", 1},
      {time_unit, 24.03e-6, "uS", 24.03},
      {time_unit, 5e-10, "pS", 500},
      {time_unit, 1e-13, "pS", 0.1},  // below the finest unit: still pS
      {time_unit, 0, "pS", 0},
      {voltage_unit, 0.999, "mV", 999},
      {voltage_unit, 1, "V", 1},
      {voltage_unit, 3e-8, "nV", 30},
  };
  for (const UnitCase& c : cases) {
    const AxisUnit u = c.choose(c.value);
    EXPECT_EQ(u.name, c.name) << c.value;
    EXPECT_NEAR(u(c.value), c.shown, 1e-9 * c.shown) << c.value;
  }
}

}  // namespace
}  // namespace tarvio
