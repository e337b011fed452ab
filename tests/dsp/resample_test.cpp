// Sinc, sinc compensation, zero-insertion upsampling and cyclic extension.
#include "dsp/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "runtime/registry.h"

namespace tarvio {
namespace {

TEST(Sinc, IsNormalised) {
  EXPECT_EQ(Sinc(0.0), 1.0);
  EXPECT_NEAR(Sinc(1.0), 0.0, 1e-16);
  EXPECT_NEAR(Sinc(0.5), 2 / std::numbers::pi, 1e-15);
  EXPECT_EQ(Sinc(RVec{0.0, -0.5}), (RVec{1.0, Sinc(0.5)}));
}

TEST(SincCompensation, DividesEachBinByTheSincOfItsFrequency) {
  CVec y(64, cplx(1.0, 2.0));
  const CVec x = SincCompensation(y);
  EXPECT_EQ(x[0], y[0]);
  EXPECT_NEAR(Sinc(26.0 / 33), 0.250, 5e-4);
  EXPECT_NEAR(std::abs(x[26] - y[26] / Sinc(26.0 / 33)), 0.0, 1e-12);
  // Upper half holds the negative frequencies: bin 32 is k = -32, bin 63 k = -1.
  EXPECT_NEAR(std::abs(x[32] - y[32] / Sinc(32.0 / 33)), 0.0, 1e-12);
  EXPECT_NEAR(std::abs(x[63] - y[63] / Sinc(1.0 / 33)), 0.0, 1e-12);
  EXPECT_THROW(SincCompensation(CVec(5)), std::invalid_argument);
}

TEST(Upsample, InsertsZerosAfterEachSample) {
  const cplx a(1, 2), b(-3, 4);
  EXPECT_EQ(Upsample(CVec{a, b}, 3), (CVec{a, 0, 0, b, 0, 0}));
  EXPECT_EQ(Upsample(RVec{5.0}, 1), RVec{5.0});
  // By name a column stays a column and complex values are not conjugated.
  const auto col = Registry::instance().call("Upsample", {Value::complex(2, 1, {a, b}), Value(2.0)}).at(0);
  EXPECT_EQ(col.rows(), 4u);
  EXPECT_EQ(col.cols(), 1u);
  EXPECT_EQ(col.to_complex(), (CVec{a, 0, b, 0}));
  const auto row = Registry::instance().call("Upsample", {Value::row(RVec{1, 2}), Value(2.0)}).at(0);
  EXPECT_EQ(row.rows(), 1u);
  EXPECT_EQ(row.to_reals(), (RVec{1, 0, 2, 0}));
}

TEST(Extendvector, RepeatsCyclicallyOrTruncates) {
  EXPECT_EQ(Extendvector(RVec{1, 2, 3}, 7), (RVec{1, 2, 3, 1, 2, 3, 1}));
  EXPECT_EQ(Extendvector(RVec{1, 2, 3}, 2), (RVec{1, 2}));
  EXPECT_EQ(Extendvector(RVec{1, 2, 3}, 6), (RVec{1, 2, 3, 1, 2, 3}));
  EXPECT_TRUE(Extendvector(RVec{}, 0).empty());
  EXPECT_THROW(Extendvector(RVec{}, 3), std::invalid_argument);
  const auto out = Registry::instance().call("Extendvector", {Value::real(3, 1, {1, 2, 3}), Value(4.0)}).at(0);
  EXPECT_EQ(out.rows(), 1u);
  EXPECT_EQ(out.to_reals(), (RVec{1, 2, 3, 1}));
}

}  // namespace
}  // namespace tarvio
