// The transmitter measurements on bursts built here with known answers.
#include "verify/measurements.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvio::verify {
namespace {

// Ramp times come from the burst's median power: a burst whose top cycles
// through the powers 0.7, 1.0 and 1.3 (median 1.0, peak 1.3) and whose
// power rises and falls in straight lines over 100 samples at 11 MHz takes
// 80 samples from 10 % to 90 % either way.
TEST(MeasurementsTest, RampTimesFromTheMedianPower) {
  std::vector<double> power(50, 0.0);
  for (int i = 0; i < 100; ++i) power.push_back((i + 0.5) / 100);
  for (int i = 0; i < 3000; ++i) power.push_back(0.7 + 0.3 * (i % 3));
  for (int i = 0; i < 100; ++i) power.push_back(1 - (i + 0.5) / 100);
  power.insert(power.end(), 50, 0.0);
  CVec x;
  for (double p : power) x.push_back(std::sqrt(p));
  const RampTimes r = measure_ramps(x.data(), x.size(), 11e6);
  ASSERT_TRUE(r.evaluated);
  EXPECT_NEAR(r.onSeconds * 11e6, 80, 1e-9);
  EXPECT_NEAR(r.offSeconds * 11e6, 80, 1e-9);
}

}  // namespace
}  // namespace tarvio::verify
