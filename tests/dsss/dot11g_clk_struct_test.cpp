// The 15-bit clock-switch description: bit order, field split and packing,
// the hexadecimal entry rules and the registered handle forms.
#include <gtest/gtest.h>

#include <stdexcept>

#include "dsss/clk_struct.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

TEST(ClkStruct, DefaultUnpacksToTailHeadReSync) {
  EXPECT_EQ(clk_struct_bits(kDefaultClkStruct), (Bits{1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 0, 1}));
  const ClkFields f = clk_struct_split(28957);
  EXPECT_EQ(f.tail, 7);
  EXPECT_EQ(f.head, 0);
  EXPECT_EQ(f.reSync, 0x11D);
  const ClkEntries e = clkStruct2fields(28957);
  EXPECT_EQ(e.txtTail, "7");
  EXPECT_EQ(e.txtHead, "0");
  EXPECT_EQ(e.txtReSync, "11D");
  EXPECT_EQ(fields2clkStruct(e), 28957);
  EXPECT_EQ(clk_struct_pack(ClkFields{}), 28957);
}

TEST(ClkStruct, EveryValueRoundTrips) {
  for (int v = 0; v < 32768; ++v) {
    const Bits b = clk_struct_bits(v);
    int back = 0;
    for (uint8_t x : b) back = 2 * back + x;
    ASSERT_EQ(back, v);
    ASSERT_EQ(clk_struct_pack(clk_struct_split(v)), v);
    ASSERT_EQ(fields2clkStruct(clkStruct2fields(v)), v) << v;
  }
}

TEST(ClkStruct, OutOfRangeNumbersAreRefused) {
  for (double bad : {-1.0, 32768.0, 1.5, std::nan("")})
    EXPECT_THROW(clk_struct_bits(bad), std::invalid_argument) << bad;
}

TEST(ClkStruct, EntriesAreReadAsClampedHexadecimal) {
  EXPECT_EQ(read_clk_entry("5", 7), 5);
  EXPECT_EQ(read_clk_entry("F", 7), 7);  // clamped to the 3-bit limit
  EXPECT_EQ(read_clk_entry(" 11d ", 511), 0x11D);
  EXPECT_EQ(read_clk_entry("FFF", 511), 511);
  EXPECT_EQ(read_clk_entry("", 7), 0);
  EXPECT_EQ(read_clk_entry("zz", 7), 0);  // not hexadecimal
  EXPECT_EQ(read_clk_entry("-3", 7), 0);
  EXPECT_EQ(clk_entry_text(5, 1), "5");
  EXPECT_EQ(clk_entry_text(0x1A, 3), "01A");
}

TEST(ClkStruct, PackingKeepsTheLastDigitsOfEachField) {
  // tail F = 1111 keeps 111, head 9 = 1001 keeps 001, reSync 3FF keeps 1FF.
  EXPECT_EQ(fields2clkStruct(ClkEntries{"F", "9", "3FF"}), (7 << 12) | (1 << 9) | 0x1FF);
  EXPECT_EQ(fields2clkStruct(ClkEntries{"0", "0", "0"}), 0);
}

TEST(ClkStruct, RegisteredHandleForms) {
  const Registry& reg = Registry::instance();
  Record h;
  h.set("txtTail", Value("3"));
  h.set("txtHead", Value("5"));
  h.set("txtReSync", Value("0AB"));
  EXPECT_EQ(reg.call("fields2clkStruct", {Value(h)})[0].to_double(), (3 << 12) | (5 << 9) | 0xAB);
  const Value shown = reg.call("clkStruct2fields", {Value(h), Value(28957.0)})[0];
  EXPECT_EQ(shown.record().at("txtTail").str(), "7");
  EXPECT_EQ(shown.record().at("txtHead").str(), "0");
  EXPECT_EQ(shown.record().at("txtReSync").str(), "11D");
  Record incomplete;
  incomplete.set("txtTail", Value("3"));
  EXPECT_THROW(reg.call("fields2clkStruct", {Value(incomplete)}), std::invalid_argument);
}

}  // namespace
}  // namespace tarvio
