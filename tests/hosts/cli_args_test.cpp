// Tests of tarvio-cli's argument reading: numbers in their notations, rows
// and matrices, MAT file references, texts, options and counts.
#include "hosts/cli/cli_args.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "hosts/cli/cli_command.h"
#include "runtime/matfile.h"

namespace tarvio::cli {
namespace {

struct NumberCase {
  const char* text;
  double re, im;
};

class ParseNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ParseNumber, ReadsEachNotation) {
  auto z = parse_number(GetParam().text);
  ASSERT_TRUE(z.has_value()) << GetParam().text;
  EXPECT_EQ(z->real(), GetParam().re);
  EXPECT_EQ(z->imag(), GetParam().im);
}

INSTANTIATE_TEST_SUITE_P(
    Notations, ParseNumber,
    ::testing::Values(NumberCase{"5", 5, 0}, NumberCase{"-2.5", -2.5, 0}, NumberCase{"+.5", 0.5, 0},
                      NumberCase{"1e-3", 1e-3, 0}, NumberCase{"2.E+2", 200, 0}, NumberCase{"0x1F", 31, 0},
                      NumberCase{"-0x10", -16, 0}, NumberCase{"0xffffffff", 4294967295.0, 0}, NumberCase{"2i", 0, 2},
                      NumberCase{"-0.5j", 0, -0.5}, NumberCase{"1+2i", 1, 2}, NumberCase{"1.5-0.25j", 1.5, -0.25},
                      NumberCase{"1e2-1e-1i", 100, -0.1}, NumberCase{"3-i", 3, -1}, NumberCase{"-Inf", -INFINITY, 0}));

TEST(ParseNumberRejects, TextsThatAreNoNumbers) {
  for (const char* t :
       {"", "-", "left-msb", "i", "0x", "0xG1", "1e", "1.2.3", " 5", "5 ", "1+", "0x1p3", "abc1", "1+2", "e5", "."})
    EXPECT_FALSE(parse_number(t).has_value()) << "'" << t << "'";
  EXPECT_TRUE(std::isnan(parse_number("NaN")->real()));
}

TEST(ParseValue, ScalarsRowsMatricesAndTexts) {
  EXPECT_EQ(parse_value("9"), Value(9.0));
  EXPECT_EQ(parse_value("1+2i"), Value::complex(1, 1, {cplx(1, 2)}));
  EXPECT_EQ(parse_value("[1 0 1 1]"), Value::row(std::vector<double>{1, 0, 1, 1}));
  EXPECT_EQ(parse_value("[1, 2,3]"), Value::row(std::vector<double>{1, 2, 3}));
  EXPECT_EQ(parse_value("[1 2; 3 4; 5 6]"), Value::real(3, 2, {1, 3, 5, 2, 4, 6}));
  EXPECT_EQ(parse_value("[1 2+1i]"), Value::complex_row({cplx(1, 0), cplx(2, 1)}));
  EXPECT_EQ(parse_value("[0x10 -1]"), Value::row(std::vector<double>{16, -1}));
  EXPECT_EQ(parse_value("[]"), Value());
  EXPECT_EQ(parse_value("[ ]"), Value());
  EXPECT_EQ(parse_value("left-msb"), Value("left-msb"));
  EXPECT_EQ(parse_value("'5'"), Value("5"));
  EXPECT_EQ(parse_value("''"), Value(""));
  EXPECT_EQ(parse_value("@"), Value("@"));
  EXPECT_THROW(parse_value("[1 x 2]"), UsageError);
  EXPECT_THROW(parse_value("[1 2; 3]"), UsageError);
}

TEST(ParseValue, MatFileReferences) {
  std::string dir =
      (std::filesystem::temp_directory_path() / ("tarvio-cli-args-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(dir);
  std::string one = dir + "/one.mat", two = dir + "/two.mat";
  mat_write(one, {{"v", Value::row(std::vector<double>{1, 2})}});
  mat_write(two, {{"a", Value("x")}, {"b", Value(3.0)}});
  EXPECT_EQ(parse_value("@" + one), Value::row(std::vector<double>{1, 2}));
  EXPECT_EQ(parse_value("@" + two + ":b"), Value(3.0));
  EXPECT_THROW(parse_value("@" + two), UsageError);  // which of the two?
  EXPECT_THROW(parse_value("@" + two + ":c"), std::runtime_error);
  EXPECT_THROW(parse_value("@" + dir + "/missing.mat:v"), std::runtime_error);
  std::filesystem::remove_all(dir);
}

TEST(ParseArgs, OptionsValuesAndPositionals) {
  ParsedArgs a = parse_args({"Op", "-5", "--nout", "2", "--out=x.mat", "[1 2]"}, {"--nout", "--out"});
  EXPECT_EQ(a.positional, (std::vector<std::string>{"Op", "-5", "[1 2]"}));
  EXPECT_EQ(a.get("--nout"), "2");
  EXPECT_EQ(a.get("--out"), "x.mat");
  EXPECT_FALSE(a.has("--verbose"));
  ParsedArgs b = parse_args({"--flag", "--", "--out", "y"}, {"--out"}, {"--flag"});
  EXPECT_TRUE(b.has("--flag"));
  EXPECT_EQ(b.positional, (std::vector<std::string>{"--out", "y"}));
  EXPECT_THROW(parse_args({"--out"}, {"--out"}), UsageError);
  EXPECT_THROW(parse_args({"--bogus"}, {"--out"}), UsageError);
  EXPECT_THROW(parse_args({"--flag=1"}, {}, {"--flag"}), UsageError);
}

TEST(ParseCount, WholeNumbersOnly) {
  EXPECT_EQ(parse_count("0", "--nout"), 0);
  EXPECT_EQ(parse_count("3", "--nout"), 3);
  for (const char* bad : {"-1", "1.5", "x", "", "1+1i"}) EXPECT_THROW(parse_count(bad, "--nout"), UsageError) << bad;
}

}  // namespace
}  // namespace tarvio::cli
