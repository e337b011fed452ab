// OFDM bit processing: scrambler, convolutional encoder and puncturing,
// interleaver, SIGNAL bits and the DATA bit stream (padding, SERVICE, tail
// reset), checked against IEEE 802.11a definitions.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>

#include "ofdm/dot11a_convol_encode.h"
#include "ofdm/dot11a_data.h"
#include "ofdm/dot11a_interleave.h"
#include "ofdm/dot11a_pilot.h"
#include "ofdm/dot11a_scramble.h"
#include "ofdm/dot11a_signal.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

Bits bits_of(const char* s) {
  Bits b;
  for (; *s; ++s)
    if (*s == '0' || *s == '1') b.push_back(static_cast<uint8_t>(*s - '0'));
  return b;
}

Bits ones_and_zeros(size_t n) {
  Bits b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i * 7 + i / 3) % 2);
  return b;
}

TEST(Dot11aScramble, AllOnesStateGivesTheStandardSequenceWithPeriod127) {
  const Bits s = Dot11a_Scramble(Bits(254, 0), Bits(7, 1));
  // IEEE 802.11a 17.3.5.4: 00001110 11110010 11001001 ...
  EXPECT_EQ(Bits(s.begin(), s.begin() + 24), bits_of("00001110 11110010 11001001"));
  EXPECT_TRUE(std::equal(s.begin(), s.begin() + 127, s.begin() + 127));
  EXPECT_EQ(std::count(s.begin(), s.begin() + 127, 1), 64);  // maximal-length sequence
}

TEST(Dot11aScramble, SeedBitsAndSelfInverse) {
  EXPECT_EQ(dot11a_seed_bits(93), bits_of("1011101"));
  const Bits msg = ones_and_zeros(300);
  const Bits seed = dot11a_seed_bits(93);
  EXPECT_EQ(Dot11a_Scramble(Dot11a_Scramble(msg, seed), seed), msg);
  EXPECT_THROW(Dot11a_Scramble(msg, Bits(6, 1)), std::invalid_argument);
  EXPECT_THROW(dot11a_seed_bits(128), std::invalid_argument);
}

TEST(Dot11aConvolEncode, ImpulseResponseIsTheTwoGenerators) {
  Bits impulse(7, 0);
  impulse[0] = 1;
  // g0 = 133 octal = 1011011, g1 = 171 octal = 1111001, sent A1 B1 A2 B2 ...
  EXPECT_EQ(Dot11a_ConvolEncode(impulse, 0.5), bits_of("11 01 11 11 00 10 11"));
}

TEST(Dot11aConvolEncode, PuncturingKeepsTheStandardPositions) {
  const Bits in = ones_and_zeros(36);
  const Bits half = Dot11a_ConvolEncode(in, 0.5);
  ASSERT_EQ(half.size(), 72u);
  // Rate 2/3 sends A1 B1 A2 of every two input bits, rate 3/4 A1 B1 A2 B3 of
  // every three (IEEE 802.11a Figure 114).
  Bits two_thirds, three_quarters;
  for (size_t i = 0; i < half.size(); ++i) {
    if (i % 4 != 3) two_thirds.push_back(half[i]);
    if (i % 6 == 0 || i % 6 == 1 || i % 6 == 2 || i % 6 == 5) three_quarters.push_back(half[i]);
  }
  EXPECT_EQ(Dot11a_ConvolEncode(in, 2.0 / 3.0), two_thirds);
  EXPECT_EQ(Dot11a_ConvolEncode(in, 0.75), three_quarters);
  EXPECT_EQ(Dot11a_ConvolEncode(in, 0.9), half);  // other rates: unpunctured
}

// The standard's deinterleaver (17.3.5.6) undoes the interleaver for every
// block size.
class InterleaveSizes : public ::testing::TestWithParam<size_t> {};
TEST_P(InterleaveSizes, StandardDeinterleaverInvertsIt) {
  const size_t n = GetParam(), s = std::max<size_t>(n / 96, 1);
  // Track positions: interleave one marked bit at a time.
  for (size_t j = 0; j < n; ++j) {
    const size_t i = s * (j / s) + (j + (16 * j) / n) % s;
    const size_t k = 16 * i - (n - 1) * ((16 * i) / n);
    Bits one(n, 0);
    one[k] = 1;
    const Bits out = Dot11a_Interleave(one);
    ASSERT_EQ(out[j], 1) << "n " << n << " j " << j;
    ASSERT_EQ(std::count(out.begin(), out.end(), 1), 1);
  }
}
INSTANTIATE_TEST_SUITE_P(AllModulations, InterleaveSizes, ::testing::Values(48, 96, 192, 288));

TEST(Dot11aInterleave, RejectsOtherBlockSizes) { EXPECT_THROW(Dot11a_Interleave(Bits(144, 0)), std::invalid_argument); }

TEST(Dot11aSignal, RateBitsLengthAndParity) {
  EXPECT_EQ(dot11a_SIGNAL_RateMapping(6), bits_of("1101"));
  EXPECT_EQ(dot11a_SIGNAL_RateMapping(54), bits_of("0011"));
  EXPECT_EQ(dot11a_SIGNAL_RateMapping(11), bits_of("0000"));
  const Bits b = dot11a_signal_bits(54, 1058);
  ASSERT_EQ(b.size(), 24u);
  EXPECT_EQ(Bits(b.begin() + 5, b.begin() + 17), bits_of("010001000010"));  // 1058, lsb first
  EXPECT_EQ(std::accumulate(b.begin(), b.begin() + 18, 0) % 2, 0);          // even parity
  EXPECT_EQ(Bits(b.begin() + 18, b.end()), Bits(6, 0));
  EXPECT_THROW(dot11a_signal_bits(6, 4096), std::invalid_argument);
}

struct PadCase {
  double mode, modulation, rate;
  size_t octets, nsym, npad;
};
class DataPadding : public ::testing::TestWithParam<PadCase> {};
TEST_P(DataPadding, SymbolCountAndPad) {
  const PadCase c = GetParam();
  const Bits user(8 * c.octets, 1);
  const Dot11aDataBits d = dot11a_data_bits(c.mode, user, 0, c.modulation, c.rate, 0, 93);
  EXPECT_EQ(d.nsym, c.nsym);
  const size_t used = 8 * c.octets + (c.mode ? 22 : 0);
  EXPECT_EQ(d.data.size() - used, c.npad);
  EXPECT_EQ(d.coded.size(), d.nsym * d.ncbps);
}
INSTANTIATE_TEST_SUITE_P(Cases, DataPadding,
                         ::testing::Values(PadCase{1, 1, 0.5, 100, 35, 18},       // 822 bits at 6 Mbit/s
                                           PadCase{1, 4, 0.75, 1, 1, 186},        // 30 bits into 216
                                           PadCase{1, 4, 1.0, 36, 2, 576 - 310},  // uncoded 64-QAM: 288 per symbol
                                           PadCase{0, 2, 0.5, 6, 1, 0}));         // unframed: no SERVICE, no tail

TEST(Dot11aDataBits, UncodedSixtyFourQamCarries288BitsPerSymbol) {
  const Dot11aDataBits d = dot11a_data_bits(0, ones_and_zeros(288 * 3), 0, 4, 1, 0, 93);
  EXPECT_EQ(d.ndbps, 288u);
  EXPECT_EQ(d.coded, d.data);
}

TEST(Dot11aDataBits, ServiceFieldSendsBitsSevenToFifteen) {
  const Dot11aDataBits d = dot11a_data_bits(1, Bits(8, 0), 0xFFFF, 1, 0.5, 0, 93);
  EXPECT_EQ(Bits(d.data.begin(), d.data.begin() + 16), bits_of("0000000 111111111"));
}

TEST(Dot11aDataBits, ScramblerZeroesTheSixBitsBeforeThePadInBothModes) {
  for (double mode : {0.0, 1.0}) {
    const Bits user = ones_and_zeros(8 * 13);
    const Dot11aDataBits d = dot11a_data_bits(mode, user, 0, 2, 0.5, 1, 93);
    const Dot11aDataBits plain = dot11a_data_bits(mode, user, 0, 2, 0.5, 0, 93);
    const size_t used = user.size() + (mode ? 22 : 0);
    Bits expect = Dot11a_Scramble(plain.data, dot11a_seed_bits(93));
    std::fill(expect.begin() + static_cast<std::ptrdiff_t>(used - 6),
              expect.begin() + static_cast<std::ptrdiff_t>(used), 0);
    EXPECT_EQ(d.data, expect) << "mode " << mode;
    // The reset really changed bits the scrambler had set.
    EXPECT_NE(d.data, Dot11a_Scramble(plain.data, dot11a_seed_bits(93))) << "mode " << mode;
  }
  // Fewer than six unframed bits: all of them are zeroed.
  const Dot11aDataBits tiny = dot11a_data_bits(0, Bits(3, 1), 0, 1, 0.5, 1, 93);
  EXPECT_EQ(Bits(tiny.data.begin(), tiny.data.begin() + 3), Bits(3, 0));
}

TEST(Dot11aPilot, PolaritySequence) {
  const double expect[8] = {1, 1, 1, 1, -1, -1, -1, 1};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Dot11a_Pilot(i), expect[i]) << i;
  for (int i = 0; i < 127; ++i) EXPECT_EQ(Dot11a_Pilot(i + 127), Dot11a_Pilot(i));
}

TEST(Dot11aRegisteredOps, BitOperationsByName) {
  const Registry& r = Registry::instance();
  const Value out = r.call("Dot11a_Scramble", {Value::row(Bits(24, 0)), Value::row(Bits(7, 1))})[0];
  EXPECT_EQ(out.to_bits(), Dot11a_Scramble(Bits(24, 0), Bits(7, 1)));
  EXPECT_EQ(r.call("Dot11a_Pilot", {Value(4.0)})[0].to_double(), -1.0);
  EXPECT_EQ(r.call("Dot11a_Interleave", {Value::row(ones_and_zeros(96))})[0].to_bits(),
            Dot11a_Interleave(ones_and_zeros(96)));
  EXPECT_EQ(r.call("Dot11a_ConvolEncode", {Value::row(ones_and_zeros(9)), Value(0.75)})[0].to_bits(),
            Dot11a_ConvolEncode(ones_and_zeros(9), 0.75));
  for (const char* name :
       {"Dot11a_SIGNAL", "Dot11a_DATA", "Dot11a_ConvertToIQ", "Dot11a_CarrierMapping", "Dot11a_SymbolBuild",
        "Dot11a_SYNC", "Dot11a_LongSeq", "Dot11a_ShortSeq", "Dot11a_FRAME", "Dot11a_CyclicPrefix", "Dot11a_Windowing",
        "Dot11a_Oversample", "Dot11a_StitchSubFrames", "Dot11a_txtIdleInterval"})
    EXPECT_NE(r.find(name), nullptr) << name;
  EXPECT_EQ(r.find("Dot11a_DATA")->max_in, 13);
  EXPECT_EQ(r.find("Dot11a_FRAME")->max_out, 2);
}

}  // namespace
}  // namespace tarvio
