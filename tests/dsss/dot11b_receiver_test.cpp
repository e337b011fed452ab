// Decodes generated 802.11b bursts (1, 2, 5.5 and 11 Mbit/s CCK, unfiltered,
// one sample per chip) with an independent receiver and checks the PLCP
// header, its CRC-16, and the PSDU with its frame check sequence.
#include <gtest/gtest.h>

#include <ostream>
#include <random>

#include "dsss/dot11b_frame.h"
#include "dsss/dsss_test_receiver.h"
#include "mac/fcs.h"

namespace {

using tarvio::Bits;

struct RxCase {
  double rate;
  double preambleType;
  double scrambler;  // 0 off, 1 on
  size_t octets;
  double highRateMod = 0;  // a PBCC setting must not reach 1 and 2 Mbit/s headers
};

void PrintTo(const RxCase& c, std::ostream* os) {
  *os << c.rate << " Mbit/s preamble " << c.preambleType << " scrambler " << c.scrambler << " octets " << c.octets
      << " highRateMod " << c.highRateMod;
}

class Dot11bReceive : public ::testing::TestWithParam<RxCase> {};

TEST_P(Dot11bReceive, HeaderAndPsduAreRecovered) {
  const RxCase c = GetParam();
  std::mt19937 rng(static_cast<unsigned>(c.octets * 7 + c.rate * 2));
  Bits payload(8 * c.octets);
  for (auto& b : payload) b = static_cast<uint8_t>(rng() & 1u);
  Bits psdu = payload;
  const Bits fcs = tarvio::CCITT_CRC32(payload);
  psdu.insert(psdu.end(), fcs.begin(), fcs.end());

  const tarvio::Frame f = tarvio::Dot11b_FRAME(psdu, c.rate, c.highRateMod, c.preambleType, 0, c.scrambler, 0, 1,
                                               /*idle*/ 10, 0, 0, /*OS*/ 1, /*filter*/ 0, 0, 1, 0, {1.0});
  // The burst is where marker row 2 is set.
  size_t m = 0;
  while (m < f.markers.row2.size() && f.markers.row2[m]) ++m;
  const std::vector<std::complex<double>> chips(f.waveform.begin(), f.waveform.begin() + static_cast<long>(m));

  Bits seed;
  if (c.scrambler == 1) seed = c.preambleType == 0 ? Bits{1, 1, 0, 1, 1, 0, 0} : Bits{0, 0, 1, 1, 0, 1, 1};
  const dsss_rx::Received rx = dsss_rx::receive(chips, c.preambleType == 1, seed);
  EXPECT_TRUE(rx.sfdFound);
  EXPECT_TRUE(rx.headerCrcOk);
  const unsigned signal = c.rate == 1 ? 0x0A : c.rate == 2 ? 0x14 : c.rate == 5.5 ? 0x37 : 0x6E;
  EXPECT_EQ(rx.signal, signal);
  EXPECT_EQ(rx.service & 0x08u, 0u);  // CCK selected
  ASSERT_EQ(rx.psdu.size(), psdu.size());
  EXPECT_EQ(rx.psdu, psdu);
  const Bits rxPayload(rx.psdu.begin(), rx.psdu.end() - 32);
  EXPECT_EQ(tarvio::CCITT_CRC32(rxPayload), Bits(rx.psdu.end() - 32, rx.psdu.end()));
  // Nothing of the burst is left over after the PSDU.
  const size_t chipsPerOctet = c.rate == 1 ? 88 : c.rate == 2 ? 44 : c.rate == 5.5 ? 16 : 8;
  const size_t plcp = c.preambleType == 0 ? 192 * 11 : 72 * 11 + 24 * 11;
  EXPECT_EQ(m, plcp + chipsPerOctet * (c.octets + 4));
}

INSTANTIATE_TEST_SUITE_P(Rates, Dot11bReceive,
                         ::testing::Values(RxCase{1, 0, 1, 40}, RxCase{1, 0, 0, 3}, RxCase{2, 0, 1, 57},
                                           RxCase{2, 1, 1, 20}, RxCase{5.5, 0, 1, 101}, RxCase{5.5, 1, 1, 64},
                                           RxCase{11, 0, 1, 21}, RxCase{11, 1, 1, 1500}, RxCase{11, 0, 0, 33},
                                           RxCase{5.5, 1, 0, 7}, RxCase{1, 0, 1, 12, 1}, RxCase{2, 1, 1, 9, 1}));

// A burst whose PSDU bit was flipped after generation fails the FCS check,
// so the check above can fail.
TEST(Dot11bReceive, CorruptedPsduFailsFcs) {
  Bits payload(8 * 30, 0);
  payload[5] = 1;
  Bits psdu = payload;
  const Bits fcs = tarvio::CCITT_CRC32(payload);
  psdu.insert(psdu.end(), fcs.begin(), fcs.end());
  psdu[17] ^= 1;  // corrupt before transmission
  const tarvio::Frame f = tarvio::Dot11b_FRAME(psdu, 11, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, {1.0});
  const dsss_rx::Received rx = dsss_rx::receive(f.waveform, false, {1, 1, 0, 1, 1, 0, 0});
  ASSERT_EQ(rx.psdu.size(), psdu.size());
  const Bits rxPayload(rx.psdu.begin(), rx.psdu.end() - 32);
  EXPECT_NE(tarvio::CCITT_CRC32(rxPayload), Bits(rx.psdu.end() - 32, rx.psdu.end()));
}

}  // namespace
