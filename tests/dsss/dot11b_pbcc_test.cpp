// PBCC coding and mapping: encoder impulse responses, cover sequence and the
// BPSK/QPSK/8PSK symbol mapping.
#include "dsss/dot11b_pbcc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "dsss/convol_encoder.h"
#include "dsss/oct2dec.h"

namespace {

using tarvio::Bits;
using tarvio::cplx;
using tarvio::CVec;

Bits bits_of(const char* s) {
  Bits b;
  for (; *s; ++s)
    if (*s == '0' || *s == '1') b.push_back(static_cast<uint8_t>(*s - '0'));
  return b;
}

TEST(PbccEncoder, ImpulseResponsesAreTheGenerators) {
  const Bits y = tarvio::ConvolEncoder({1, 0, 0, 0, 0, 0, 0}, 7, {133, 175});
  ASSERT_EQ(y.size(), 14u);
  Bits y0, y1;
  for (size_t n = 0; n < 7; ++n) {
    y0.push_back(y[2 * n]);
    y1.push_back(y[2 * n + 1]);
  }
  EXPECT_EQ(y0, bits_of("1101101"));  // D^6 + D^4 + D^3 + D + 1
  EXPECT_EQ(y1, bits_of("1011111"));  // D^6 + D^5 + D^4 + D^3 + D^2 + 1
}

// Linearity over GF(2): the code of a xor b is the xor of the codes.
TEST(PbccEncoder, IsLinearAndShiftInvariant) {
  const Bits a = bits_of("1011001110001"), b = bits_of("0110100011101");
  Bits ab(a.size());
  for (size_t i = 0; i < a.size(); ++i) ab[i] = a[i] ^ b[i];
  const Bits ca = tarvio::ConvolEncoder(a, 7, {133, 175}), cb = tarvio::ConvolEncoder(b, 7, {133, 175});
  const Bits cab = tarvio::ConvolEncoder(ab, 7, {133, 175});
  for (size_t i = 0; i < cab.size(); ++i) EXPECT_EQ(cab[i], ca[i] ^ cb[i]);
  Bits shifted(a.size(), 0);  // a delayed by one bit
  std::copy(a.begin(), a.end() - 1, shifted.begin() + 1);
  const Bits cs = tarvio::ConvolEncoder(shifted, 7, {133, 175});
  for (size_t i = 2; i < cs.size(); ++i) EXPECT_EQ(cs[i], ca[i - 2]);
}

TEST(PbccEncoder, Oct2decAndBadGenerators) {
  EXPECT_EQ(tarvio::oct2dec(133), 91);
  EXPECT_EQ(tarvio::oct2dec(175), 125);
  EXPECT_EQ(tarvio::oct2dec(0), 0);
  EXPECT_THROW(tarvio::oct2dec(138), std::invalid_argument);
  EXPECT_THROW(tarvio::oct2dec(1.5), std::invalid_argument);
  EXPECT_THROW(tarvio::ConvolEncoder({1}, 3, {17}), std::invalid_argument);  // 4 bits in a 3-bit register
}

TEST(PbccCover, FirstRowsAndPeriod) {
  const Bits c = tarvio::PBCC_coverbits(600);
  EXPECT_EQ(Bits(c.begin(), c.begin() + 48), bits_of("0011001110001011 1001110001011001 1110001011001100"));
  for (size_t i = 0; i + 256 < c.size(); ++i) EXPECT_EQ(c[i], c[i + 256]) << i;
  EXPECT_EQ(tarvio::PBCC_coverbits(7.9).size(), 7u);
}

TEST(PbccMap, BpskOneOctetWithEncoder) {
  const cplx ref = std::polar(1.0, 0.3);
  const CVec s = tarvio::Dot11b_PBCC(Bits(8, 0), 5.5, 1, ref);
  ASSERT_EQ(s.size(), 32u);  // (8 + 8 tail) bits, rate 1/2
  const Bits cover = bits_of("0011001110001011 1001110001011001");
  for (size_t i = 0; i < 32; ++i) EXPECT_NEAR(std::abs(s[i] - ref * (cover[i] ? cplx(0, 1) : cplx(1, 0))), 0, 1e-12);
}

TEST(PbccMap, QpskCountsAndPoints) {
  EXPECT_EQ(tarvio::Dot11b_PBCC(Bits(80, 1), 11, 1, cplx(1, 0)).size(), 88u);  // N + 8 symbols
  EXPECT_EQ(tarvio::Dot11b_PBCC(Bits(80, 1), 11, 0, cplx(1, 0)).size(), 40u);  // unencoded, no tail
  // Cover bits of symbols 0..3 are 0 0 1 1.
  const CVec s = tarvio::Map_PBCC(bits_of("00 01 10 11"), 11, cplx(1, 0));
  const cplx j(0, 1);
  const cplx expect[4] = {1, -j, j * j, -1.0 * j};
  for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(std::abs(s[i] - expect[i]), 0, 1e-12) << i;
  EXPECT_THROW(tarvio::Map_PBCC(bits_of("001"), 11, cplx(1, 0)), std::invalid_argument);
}

TEST(PbccMap, EightPskTurnsAgainstReference) {
  const double z = 1 / std::sqrt(2.0);
  const cplx ref = std::polar(1.0, 0.7);
  const CVec s = tarvio::Map_PBCC(bits_of("100"), 22, ref);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_NEAR(std::abs(s[0] - cplx(-z, z) * std::polar(1.0, std::numbers::pi / 4 - 0.7)), 0, 1e-12);
  EXPECT_EQ(tarvio::Map_PBCC(Bits(9, 0), 33, ref).size(), 3u);
  EXPECT_THROW(tarvio::Map_PBCC(Bits(8, 0), 22, ref), std::invalid_argument);
  EXPECT_THROW(tarvio::Map_PBCC(Bits(8, 0), 6, ref), std::invalid_argument);
}

}  // namespace
