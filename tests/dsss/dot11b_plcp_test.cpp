// PLCP preamble, header fields, CRC-16 and scrambler of the 802.11b generator,
// checked against the IEEE 802.11b definitions and their worked examples.
#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>

#include "dsss/ccitt_crc16.h"
#include "dsss/dot11b_header.h"
#include "dsss/dot11b_preamble.h"
#include "dsss/dot11b_scrambler.h"
#include "dsss/multi_scramble_740mx.h"
#include "runtime/registry.h"

namespace {

using tarvio::Bits;

Bits bits_of(const char* s) {
  Bits b;
  for (; *s; ++s)
    if (*s == '0' || *s == '1') b.push_back(static_cast<uint8_t>(*s - '0'));
  return b;
}

unsigned lsb_value(const Bits& b, size_t from, size_t n) {
  unsigned v = 0;
  for (size_t i = 0; i < n; ++i) v |= static_cast<unsigned>(b[from + i]) << i;
  return v;
}

TEST(Dot11bPreamble, LongAndShortLayouts) {
  const Bits lng = tarvio::Dot11b_PREAMBLE(0);
  ASSERT_EQ(lng.size(), 144u);
  EXPECT_EQ(Bits(lng.begin(), lng.begin() + 128), Bits(128, 1));
  EXPECT_EQ(Bits(lng.begin() + 128, lng.end()), bits_of("0000010111001111"));
  EXPECT_EQ(lsb_value(lng, 128, 16), 0xF3A0u);
  const Bits sht = tarvio::Dot11b_PREAMBLE(1);
  ASSERT_EQ(sht.size(), 72u);
  EXPECT_EQ(Bits(sht.begin(), sht.begin() + 56), Bits(56, 0));
  EXPECT_EQ(Bits(sht.begin() + 56, sht.end()), bits_of("1111001110100000"));
  EXPECT_EQ(lsb_value(sht, 56, 16), 0x05CFu);
  EXPECT_THROW(tarvio::Dot11b_PREAMBLE(2), std::invalid_argument);
}

TEST(Dot11bHeader, HundredOctetsAtOneMbit) {
  const Bits h = tarvio::Dot11b_HEADER(800, 1, 0, 0);
  ASSERT_EQ(h.size(), 48u);
  EXPECT_EQ(lsb_value(h, 0, 8), 0x0Au);
  EXPECT_EQ(lsb_value(h, 8, 8), 0x00u);
  EXPECT_EQ(Bits(h.begin() + 16, h.begin() + 32), bits_of("0000010011000000"));
  EXPECT_EQ(lsb_value(h, 16, 16), 800u);
  EXPECT_EQ(Bits(h.begin() + 32, h.end()), bits_of("0001101110001100"));  // 0x1B8C
}

TEST(Dot11bHeader, CrcDetectsEveryHeaderBitError) {
  const Bits h = tarvio::Dot11b_HEADER(8 * 1000, 11, 0, 1);
  const Bits fields(h.begin(), h.begin() + 32);
  for (size_t i = 0; i < 32; ++i) {
    Bits bad = fields;
    bad[i] ^= 1;
    EXPECT_NE(tarvio::CCITT_CRC16(bad), Bits(h.begin() + 32, h.end())) << "bit " << i;
  }
}

struct LengthCase {
  double octets, rate, mod;
  unsigned length;
  unsigned ext;  // b5 b6 b7 as a binary number
};

void PrintTo(const LengthCase& c, std::ostream* os) {
  *os << c.octets << " octets at " << c.rate << " Mbit/s mod " << c.mod;
}

class Dot11bLengthField : public ::testing::TestWithParam<LengthCase> {};

TEST_P(Dot11bLengthField, ValueAndExtensionBits) {
  const LengthCase c = GetParam();
  const tarvio::Dot11bLength r = tarvio::Dot11b_LENGTH(8 * c.octets, c.rate, c.mod);
  ASSERT_EQ(r.lengthField.size(), 16u);
  EXPECT_EQ(lsb_value(r.lengthField, 0, 16), c.length);
  EXPECT_EQ(4u * r.b5 + 2u * r.b6 + r.b7, c.ext);
}

// Expected values from LENGTH = ceil(8*(octets + mod)/R) and
// ext = floor((R*LENGTH - 8*(octets + mod))/8).
INSTANTIATE_TEST_SUITE_P(
    Examples, Dot11bLengthField,
    ::testing::Values(LengthCase{100, 1, 0, 800, 0}, LengthCase{1000, 11, 0, 728, 1}, LengthCase{21, 11, 0, 16, 1},
                      LengthCase{20, 11, 1, 16, 1}, LengthCase{0, 11, 0, 0, 0}, LengthCase{0, 11, 1, 1, 0},
                      LengthCase{0, 5.5, 1, 2, 0}, LengthCase{3, 5.5, 0, 5, 0}, LengthCase{1, 5.5, 0, 2, 0},
                      LengthCase{22, 11, 0, 16, 0}, LengthCase{2312, 2, 0, 9248, 0}, LengthCase{10, 22, 1, 4, 0},
                      LengthCase{8, 22, 1, 4, 2}, LengthCase{9, 22, 1, 4, 1}, LengthCase{7, 33, 1, 2, 0},
                      LengthCase{4, 33, 1, 2, 3}, LengthCase{3, 33, 1, 1, 0}, LengthCase{28, 33, 1, 8, 4},
                      LengthCase{5, 33, 1, 2, 2}, LengthCase{6, 33, 1, 2, 1}));

TEST(Dot11bLengthField, FiveAndAHalfNeverSetsExtension) {
  for (double octets = 0; octets < 200; ++octets)
    for (double mod : {0.0, 1.0}) {
      const tarvio::Dot11bLength r = tarvio::Dot11b_LENGTH(8 * octets, 5.5, mod);
      EXPECT_EQ(r.b5 + r.b6 + r.b7, 0);
    }
}

TEST(Dot11bHeader, ServiceBitsAndRejectedRates) {
  const Bits h = tarvio::Dot11b_HEADER(8 * 1000, 11, 0, 1);
  EXPECT_EQ(Bits(h.begin() + 8, h.begin() + 16), bits_of("00100001"));
  const Bits p = tarvio::Dot11b_HEADER(8 * 20, 11, 1, 0);
  EXPECT_EQ(p[8 + 3], 1);  // PBCC selected
  EXPECT_EQ(tarvio::Dot11b_SIGNAL(5.5), bits_of("11101100"));
  EXPECT_EQ(tarvio::Dot11b_SIGNAL(11), bits_of("01110110"));
  EXPECT_EQ(tarvio::Dot11b_SIGNAL(2), bits_of("00101000"));
  for (double bad : {6.0, 22.0, 0.0, -1.0}) EXPECT_THROW(tarvio::Dot11b_HEADER(80, bad, 0, 0), std::invalid_argument);
}

// The scrambler against the polynomial definition: descrambling the output
// with s[n] xor s[n-4] xor s[n-7] (register history from the seed) gives the
// input back.
// LENGTH counts microseconds in 16 bits: 8191 octets at 1 Mbit/s (65528 us)
// fit, 8192 (65536 us) do not and are refused instead of giving a longer
// field and a 49-bit header.
TEST(Dot11bHeader, LengthBeyondSixteenBitsIsRefused) {
  EXPECT_EQ(tarvio::Dot11b_HEADER(8 * 8191, 1, 0, 0).size(), 48u);
  EXPECT_EQ(tarvio::Dot11b_HEADER(8 * 45045, 11, 0, 0).size(), 48u);  // 32760 us
  for (double octets : {8192.0, 9034.0})
    EXPECT_THROW(tarvio::Dot11b_HEADER(8 * octets, 1, 0, 0), std::invalid_argument) << octets;
  try {
    tarvio::Dot11b_HEADER(8 * 9034, 1, 0, 0);
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("72272 us"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("65535"), std::string::npos) << e.what();
  }
}

TEST(Dot11bScrambler, InvertsWithSelfSynchronisingDescrambler) {
  Bits data(300);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i * 7 + i / 3) % 2);
  const Bits seed = {1, 1, 0, 1, 1, 0, 0};
  const Bits s = tarvio::multi_scramble_740mx(data, seed);
  ASSERT_EQ(s.size(), data.size());
  auto past = [&](long n) -> uint8_t { return n >= 0 ? s[static_cast<size_t>(n)] : seed[static_cast<size_t>(-n - 1)]; };
  for (long n = 0; n < static_cast<long>(s.size()); ++n)
    EXPECT_EQ(s[static_cast<size_t>(n)] ^ past(n - 4) ^ past(n - 7), data[static_cast<size_t>(n)]) << n;
}

TEST(Dot11bScrambler, ModesAndErrors) {
  Bits frame(400);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i % 3 == 0);
  EXPECT_EQ(tarvio::Dot11b_Scrambler(0, 0, frame), frame);
  const Bits full = tarvio::Dot11b_Scrambler(1, 1, frame);
  EXPECT_EQ(full, tarvio::multi_scramble_740mx(frame, {0, 0, 1, 1, 0, 1, 1}));
  for (double pt : {0.0, 1.0}) {
    const size_t n = pt == 0 ? 144 : 72;
    const Bits part = tarvio::Dot11b_Scrambler(2, pt, frame);
    const Bits whole = tarvio::Dot11b_Scrambler(1, pt, frame);
    EXPECT_EQ(Bits(part.begin(), part.begin() + static_cast<long>(n)),
              Bits(whole.begin(), whole.begin() + static_cast<long>(n)));
    EXPECT_EQ(Bits(part.begin() + static_cast<long>(n), part.end()),
              Bits(frame.begin() + static_cast<long>(n), frame.end()));
  }
  EXPECT_THROW(tarvio::Dot11b_Scrambler(3, 0, frame), std::invalid_argument);
  EXPECT_THROW(tarvio::Dot11b_Scrambler(1, 2, frame), std::invalid_argument);
  EXPECT_THROW(tarvio::multi_scramble_740mx(frame, {1, 0, 1}), std::invalid_argument);
}

TEST(Dot11bRegistry, OperationsCallableByName) {
  auto& reg = tarvio::Registry::instance();
  const auto r = reg.call("Dot11b_LENGTH", {tarvio::Value(168.0), tarvio::Value(11.0), tarvio::Value(0.0)}, 4);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[3].to_double(), 1.0);  // 21 octets at 11 Mbit/s: b7
  for (const char* name : {"Multi_scramble_740mx", "multi_scramble_740mx", "Oct2dec", "oct2dec", "Dot11b_FRAME",
                           "Dot11b_txtIdleInterval", "CCITT_CRC16", "Scrambler_7bit_741", "Dot11b_CCKcodeword"})
    EXPECT_NE(reg.find(name), nullptr) << name;
  EXPECT_EQ(reg.find("Dot11b_FRAME")->max_in, 16);
  EXPECT_EQ(reg.find("Dot11b_FRAME")->max_out, 2);
  EXPECT_EQ(reg.call("oct2dec", {tarvio::Value(175.0)})[0].to_double(), 125.0);
}

}  // namespace
