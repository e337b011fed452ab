// Tests of the operation registry: the count errors for too many inputs or
// outputs come before the body runs and name the operation and its declared
// count; the result list is cut to the number wanted.
#include "runtime/registry.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvio {
namespace {

int body_runs = 0;

TARVIO_OP(
    "Test_TwoInTwoOut", 2, 2,
    [](const Args& in, int) {
      ++body_runs;
      return std::vector<Value>{Value(double(in.size())), Value("second"), Value("extra")};
    },
    "test operation");
TARVIO_OP(
    "Test_NoOutputs", 0, 0,
    [](const Args&, int) {
      ++body_runs;
      return std::vector<Value>{};
    },
    "test");
TARVIO_OP(
    "Test_Unassigned", 0, 2, [](const Args&, int) { return std::vector<Value>{Value(1.0)}; }, "test");

struct CountCase {
  const char* op;
  size_t nin;
  int nout;
  const char* expected;
};

class RegistryCountError : public ::testing::TestWithParam<CountCase> {};

TEST_P(RegistryCountError, RaisedBeforeTheBodyNamingOperationAndCount) {
  const CountCase& c = GetParam();
  body_runs = 0;
  try {
    Registry::instance().call(c.op, Args(c.nin, Value(1.0)), c.nout);
    FAIL() << "no count error";
  } catch (const CountError& e) {
    EXPECT_EQ(std::string(e.what()), c.expected);
  }
  EXPECT_EQ(body_runs, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryCountError,
    ::testing::Values(
        CountCase{"Test_TwoInTwoOut", 3, 1,
                  "Test_TwoInTwoOut: too many input arguments (3 given; Test_TwoInTwoOut declares 2 inputs)."},
        CountCase{"Test_TwoInTwoOut", 0, 3,
                  "Test_TwoInTwoOut: too many output arguments (3 wanted; Test_TwoInTwoOut declares 2 outputs)."},
        CountCase{"Test_NoOutputs", 1, 0,
                  "Test_NoOutputs: too many input arguments (1 given; Test_NoOutputs declares 0 inputs)."},
        CountCase{"Test_NoOutputs", 0, 2,
                  "Test_NoOutputs: too many output arguments (2 wanted; Test_NoOutputs declares 0 outputs)."}));

TEST(RegistryCall, ResultsCutToTheNumberWanted) {
  EXPECT_EQ(Registry::instance().call("Test_TwoInTwoOut", {Value(1.0)}, 1).size(), 1u);
  auto two = Registry::instance().call("Test_TwoInTwoOut", {}, 2);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[1].str(), "second");
  // No outputs wanted still yields the first result, as a call by name does.
  EXPECT_EQ(Registry::instance().call("Test_TwoInTwoOut", {}, 0).size(), 1u);
  EXPECT_TRUE(Registry::instance().call("Test_NoOutputs", {}, 1).empty());
}

TEST(RegistryCall, UnknownOperationAndUnassignedOutputFail) {
  EXPECT_THROW(Registry::instance().call("Test_NoSuchOperation", {}), std::runtime_error);
  EXPECT_THROW(Registry::instance().call("Test_Unassigned", {}, 2), std::runtime_error);
}

TEST(RegistryCall, OptionalArgumentsTakeDefaultsWhenAbsentOrEmpty) {
  Args in{Value(3.0), Value(), Value("t")};
  EXPECT_EQ(arg_double(in, 0, 9), 3.0);
  EXPECT_EQ(arg_double(in, 1, 9), 9.0);  // [] means "not given"
  EXPECT_EQ(arg_double(in, 5, 9), 9.0);
  EXPECT_EQ(arg_text(in, 2, "d"), "t");
  EXPECT_THROW(arg_required(in, 3, "Op"), std::runtime_error);
}

}  // namespace
}  // namespace tarvio
