// ERP header fields: the SIGNAL table with 22 and 33 Mbit/s, the LENGTH
// extension bits of the PBCC rates, and the assembled 48-bit header.
#include "dsss/dot11g_header.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "runtime/registry.h"

namespace tarvio {
namespace {

Bits bits_of(std::initializer_list<int> v) { return Bits(v.begin(), v.end()); }

unsigned value_lsb_first(const Bits& b, size_t from, size_t n) {
  unsigned v = 0;
  for (size_t i = 0; i < n; ++i) v |= unsigned(b[from + i]) << i;
  return v;
}

// Reference CRC-CCITT written from IEEE 802.11b 18.2.3.6: preset 0xFFFF,
// polynomial 0x1021, complemented register sent x^15 first.
Bits reference_crc16(const Bits& in) {
  unsigned reg = 0xFFFF;
  for (uint8_t d : in) {
    const unsigned fb = ((reg >> 15) & 1u) ^ d;
    reg = (reg << 1) & 0xFFFF;
    if (fb) reg ^= 0x1021;
  }
  reg = ~reg & 0xFFFF;
  Bits out(16);
  for (int i = 0; i < 16; ++i) out[i] = static_cast<uint8_t>((reg >> (15 - i)) & 1u);
  return out;
}

TEST(Dot11gSignal, TableIncludesErpRates) {
  EXPECT_EQ(Dot11g_SIGNAL(22), bits_of({0, 0, 1, 1, 1, 0, 1, 1}));
  EXPECT_EQ(Dot11g_SIGNAL(33), bits_of({1, 0, 0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(value_lsb_first(Dot11g_SIGNAL(1), 0, 8), 0x0Au);
  EXPECT_EQ(value_lsb_first(Dot11g_SIGNAL(2), 0, 8), 0x14u);
  EXPECT_EQ(value_lsb_first(Dot11g_SIGNAL(5.5), 0, 8), 0x37u);
  EXPECT_EQ(value_lsb_first(Dot11g_SIGNAL(11), 0, 8), 0x6Eu);
}

TEST(Dot11gSignal, UnsupportedRateNamesTheAllowedOnes) {
  for (double r : {0.0, 6.0, 12.0, 54.0, 22.5}) {
    try {
      Dot11g_SIGNAL(r);
      FAIL() << "rate " << r << " accepted";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find("22 and 33"), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(Dot11g_HEADER(80, 44, 1, 0), std::invalid_argument);
}

// Surplus octets of the rounded-up LENGTH, b5 b6 b7 = floor(E/8), for
// every payload size of up to 100 octets at both ERP-PBCC rates.
class Dot11gLengthBits : public ::testing::TestWithParam<int> {};

TEST_P(Dot11gLengthBits, ExtensionBitsCountSurplusOctets) {
  const int R = GetParam();
  for (int octets = 0; octets <= 100; ++octets) {
    const long bits = 8L * (octets + 1);  // PBCC counts the tail octet
    const long len = (bits + R - 1) / R;
    const long E = R * len - bits;
    const Dot11bLength l = Dot11g_LENGTH(8.0 * octets, R, 1);
    ASSERT_EQ(l.lengthField.size(), 16u);
    EXPECT_EQ(value_lsb_first(l.lengthField, 0, 16), unsigned(len)) << octets;
    EXPECT_EQ(4 * l.b5 + 2 * l.b6 + l.b7, E / 8) << R << " Mbit/s, " << octets << " octets, E=" << E;
    if (R == 22) {
      EXPECT_EQ(l.b5, 0) << "22 Mbit/s never sets b5";
    }
  }
}
INSTANTIATE_TEST_SUITE_P(ErpRates, Dot11gLengthBits, ::testing::Values(22, 33));

TEST(Dot11gLength, ThresholdsAreInclusive) {
  // 33 Mbit/s, 3 octets: 32 bits, LENGTH 1, E = 1 -> none; 2 octets: 24 bits,
  // E = 9 -> b7; 1 octet: 16 bits, E = 17 -> b6; 0 octets: 8 bits, E = 25 ->
  // b6 b7. 22 Mbit/s, 0 octets: E = 14 -> b7; 21 octets: 176 bits, LENGTH 8,
  // E = 0. Each step up of E by 8 moves up by one.
  auto ext = [](double octets, double R) {
    const Dot11bLength l = Dot11g_LENGTH(8 * octets, R, 1);
    return 4 * l.b5 + 2 * l.b6 + l.b7;
  };
  EXPECT_EQ(ext(3, 33), 0);
  EXPECT_EQ(ext(2, 33), 1);
  EXPECT_EQ(ext(1, 33), 2);
  EXPECT_EQ(ext(0, 33), 3);
  EXPECT_EQ(ext(0, 22), 1);
  EXPECT_EQ(ext(21, 22), 0);
  // 28 octets at 33 Mbit/s: 232 bits, LENGTH 8, E = 264 - 232 = 32 -> b5 alone.
  EXPECT_EQ(ext(28, 33), 4);
}

TEST(Dot11gHeader, FieldsAndCrc) {
  for (double R : {22.0, 33.0})
    for (double locked : {0.0, 1.0})
      for (double octets : {0.0, 1.0, 100.0, 1500.0}) {
        const Bits h = Dot11g_HEADER(8 * octets, R, 1, locked);
        ASSERT_EQ(h.size(), 48u);
        EXPECT_EQ(Bits(h.begin(), h.begin() + 8), Dot11g_SIGNAL(R));
        const Dot11bLength l = Dot11g_LENGTH(8 * octets, R, 1);
        const Bits service = {0, 0, uint8_t(locked), 1, 0, l.b5, l.b6, l.b7};
        EXPECT_EQ(Bits(h.begin() + 8, h.begin() + 16), service);
        EXPECT_EQ(Bits(h.begin() + 16, h.begin() + 32), l.lengthField);
        EXPECT_EQ(Bits(h.begin() + 32, h.end()), reference_crc16(Bits(h.begin(), h.begin() + 32)));
      }
}

// At 22 Mbit/s PBCC the 16-bit LENGTH holds 65535 us: 180220 octets plus
// the tail octet fit, 180221 do not.
TEST(Dot11gHeader, LengthBeyondSixteenBitsIsRefused) {
  EXPECT_EQ(tarvio::Dot11g_HEADER(8 * 180220, 22, 1, 0).size(), 48u);
  EXPECT_THROW(tarvio::Dot11g_HEADER(8 * 180221, 22, 1, 0), std::invalid_argument);
}

TEST(Dot11gHeader, RegisteredFormsKeepTheirCounts) {
  const Registry& reg = Registry::instance();
  const std::pair<const char*, std::pair<int, int>> ops[] = {
      {"Dot11g_HEADER", {4, 1}}, {"Dot11g_SIGNAL", {1, 1}}, {"Dot11g_SERVICE", {5, 1}}, {"Dot11g_LENGTH", {3, 4}}};
  for (const auto& [name, counts] : ops) {
    const OpInfo* op = reg.find(name);
    ASSERT_NE(op, nullptr) << name;
    EXPECT_EQ(op->max_in, counts.first) << name;
    EXPECT_EQ(op->max_out, counts.second) << name;
  }
  const auto out = reg.call("Dot11g_LENGTH", {Value(8.0), Value(33.0), Value(1.0)}, 4);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[2].to_double(), 1.0);  // 1 octet at 33: E = 17 -> b6
  EXPECT_EQ(reg.call("Dot11g_SIGNAL", {Value(22.0)})[0].to_bits(), Dot11g_SIGNAL(22));
}

}  // namespace
}  // namespace tarvio
