// BitVector, ByteSwap and the shift-register checksum (against the
// published CRC-16 check value and plain polynomial division).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "mac/lfsr.h"
#include "mac/mac_bits.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

std::vector<double> row_of(const Value& v) { return v.to_reals(); }

TEST(BitVector, LengthsAndOrientation) {
  auto& reg = Registry::instance();
  EXPECT_EQ(row_of(reg.call("BitVector", {Value(8.0)}).at(0)), (std::vector<double>{0, 0, 0, 1}));
  EXPECT_EQ(row_of(reg.call("BitVector", {Value(5.0), Value(8.0), Value("left-msb")}).at(0)),
            (std::vector<double>{0, 0, 0, 0, 0, 1, 0, 1}));
  EXPECT_EQ(row_of(reg.call("BitVector", {Value(6.0)}).at(0)), (std::vector<double>{0, 1, 1}));
  EXPECT_EQ(reg.call("BitVector", {Value(0.0)}).at(0).numel(), 0u);
  EXPECT_EQ(BitVector(0, 4, "right-msb"), (Bits{0, 0, 0, 0}));
  EXPECT_EQ(BitVector(255, 4, "right-msb"), Bits(8, 1));  // never shorter than the digits
  EXPECT_EQ(BitVector(0x123456789ABC, 48, "left-msb").size(), 48u);
}

TEST(BitVector, Messages) {
  auto& reg = Registry::instance();
  try {
    reg.call("BitVector", {});
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Incorrect number of parameters.");
  }
  try {
    reg.call("BitVector", {Value(2.5), Value(4.0)});
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Integer required");
  }
  EXPECT_THROW(reg.call("BitVector", {Value(1.0), Value(2.0), Value("left-msb"), Value(1.0)}), std::runtime_error);
}

TEST(ByteSwap, ReversesEachOctet) {
  EXPECT_EQ(ByteSwap(Bits{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}),
            (Bits{0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(ByteSwap({}).empty());
  EXPECT_THROW(ByteSwap(Bits(9, 0)), std::invalid_argument);
}

// CRC-16 generator x^16 + x^12 + x^5 + 1: coefficients of x^0..x^16.
std::vector<double> crc16_taps() {
  std::vector<double> t(17, 0.0);
  t[0] = t[5] = t[12] = t[16] = 1;
  return t;
}

Bits msb_first(const std::string& s) {
  Bits b;
  for (unsigned char c : s)
    for (int j = 7; j >= 0; --j) b.push_back(static_cast<uint8_t>((c >> j) & 1u));
  return b;
}

TEST(LfsrChecksum, PublishedCrc16CheckValue) {
  // CRC-16 with preset all ones, no reflection: "123456789" gives 0x29B1.
  const Bits sum = LfsrChecksum(crc16_taps(), Bits(16, 1), msb_first("123456789"));
  Bits expected;
  for (int j = 15; j >= 0; --j) expected.push_back(static_cast<uint8_t>((0x29B1 >> j) & 1));
  EXPECT_EQ(sum, expected);
}

TEST(LfsrChecksum, EqualsPolynomialRemainder) {
  // With a zero register the result is d(x) x^L mod g(x), highest power
  // first, the first data bit being the highest power of d.
  std::mt19937 gen(5);
  const std::vector<double> taps = {1, 1, 0, 1, 0, 0, 1, 1, 1};  // x^8+x^7+x^6+x^3+x+1
  for (int len : {0, 1, 7, 8, 33}) {
    Bits d(static_cast<size_t>(len));
    for (auto& b : d) b = static_cast<uint8_t>(gen() & 1u);
    Bits poly = d;  // highest power first
    poly.resize(d.size() + 8, 0);
    for (size_t i = 0; i + 8 < poly.size(); ++i)
      if (poly[i])
        for (size_t k = 0; k <= 8; ++k) poly[i + k] ^= static_cast<uint8_t>(taps[8 - k]);
    const Bits rem(poly.end() - 8, poly.end());
    EXPECT_EQ(LfsrChecksum(taps, Bits(8, 0), d), rem) << "len " << len;
  }
}

TEST(Lfsr, FibonacciRecurrence) {
  // a(i) = a(i-3) xor a(i-1) with the coefficient row [1 0 1 1]... only the
  // first three entries count.
  const Bits a = Lfsr(3, {1, 0, 1, 1}, 10, Bits{1, 0, 0});
  Bits ref{1, 0, 0};
  for (size_t i = 3; i < 10; ++i) ref.push_back(static_cast<uint8_t>(ref[i - 3] ^ ref[i - 1]));
  EXPECT_EQ(a, ref);
  EXPECT_EQ(Lfsr(3, {1, 0, 1, 1}, 2, Bits{1, 0, 1}), (Bits{1, 0, 1}));  // never shorter than the seed
}

}  // namespace
}  // namespace tarvio
