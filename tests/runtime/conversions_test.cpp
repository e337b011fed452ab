// Bits and numbers, clock texts and variable names.
#include "runtime/conversions.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tarvio {
namespace {

TEST(Conversions, BitsAndNumbersBothOrientations) {
  // Two rows: 6 = 0 1 1 (first column least significant), 1 = 1 0 0.
  const std::vector<double> bits = {0, 1, 1, 0, 1, 0};  // 2 x 3, column-major
  EXPECT_EQ(Bi2de(bits, 2, 3), (std::vector<double>{6, 1}));
  EXPECT_EQ(Bi2de(bits, 2, 3, "left-msb"), (std::vector<double>{3, 4}));
  size_t cols = 0;
  EXPECT_EQ(De2bi({6, 1}, cols), bits);
  EXPECT_EQ(cols, 3u);
  cols = 4;
  EXPECT_EQ(De2bi({6}, cols, "left-msb"), (std::vector<double>{0, 1, 1, 0}));
  cols = 2;
  EXPECT_THROW(De2bi({6}, cols), std::invalid_argument);
  EXPECT_THROW(De2bi({1.5}, cols), std::invalid_argument);
  EXPECT_THROW(Bi2de({2}, 1, 1), std::invalid_argument);
  EXPECT_THROW(Bi2de({1}, 1, 1, "middle"), std::invalid_argument);
}

TEST(Conversions, ClockText) {
  EXPECT_EQ(Clock2str({2024, 3, 7, 9, 5, 2.97}), "07MAR2024 09:05:02");
  EXPECT_EQ(Clock2str({1999, 12, 31, 23, 59, 59}), "31DEC1999 23:59:59");
  EXPECT_THROW(Clock2str({2024, 13, 1, 0, 0, 0}), std::invalid_argument);
  EXPECT_THROW(Clock2str({2024, 1}), std::invalid_argument);
}

TEST(Conversions, VariableNames) {
  EXPECT_TRUE(Isvarname("fileParameters"));
  EXPECT_TRUE(Isvarname("a_1"));
  EXPECT_FALSE(Isvarname("1a"));
  EXPECT_FALSE(Isvarname("_a"));
  EXPECT_FALSE(Isvarname("a-b"));
  EXPECT_FALSE(Isvarname(std::string(64, 'a')));
  EXPECT_TRUE(Isvarname(std::string(63, 'a')));
  EXPECT_TRUE(Iskeyword("end"));
  EXPECT_FALSE(Isvarname("while"));
  EXPECT_FALSE(Iskeyword("End"));
}

}  // namespace
}  // namespace tarvio
