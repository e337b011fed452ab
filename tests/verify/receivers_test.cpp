// The receivers on waveforms they did not make and on spoiled ones: the
// IEEE 802.11a Annex G packet, a DSSS burst built here by hand from the
// standard's header example, added noise (decoding margin and the EVM it
// implies), and a flipped bit, a conjugated waveform and swapped I and Q.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "dsp/filter_design.h"
#include "dsss/dot11b_frame.h"
#include "dsss/dot11g_frame.h"
#include "ofdm/annex_g_data.h"
#include "ofdm/dot11a_frame.h"
#include "tests/verify/test_packets.h"
#include "verify/dsss_receiver.h"
#include "verify/ofdm_receiver.h"
#include "verify/verifier.h"

namespace tarvio::verify {
namespace {

using testing::random_psdu;

struct OfdmRate {
  double rate, modulation, codeRate;
};
const OfdmRate kOfdm[] = {{6, 1, 0.5}, {24, 3, 0.5}, {54, 4, 0.75}};

CVec ofdm_frame(const OfdmRate& r, const Bits& psdu, double os = 1) {
  RVec mask(53, 1.0);
  mask[26] = 0;
  return Dot11a_FRAME(1, psdu, 0, r.rate, r.modulation, r.codeRate, 1, 93, 1, mask, os, 2, 200 * os, 0, 0, 16 * os, 0,
                      0, GenFilterCoeffs(0, 16, 0, os, {}))
      .waveform;
}

// White Gaussian noise of variance sigma2 per complex sample.
void add_noise(CVec& x, double sigma2, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> n(0, std::sqrt(sigma2 / 2));
  for (auto& v : x) v += cplx(n(gen), n(gen));
}

// Mean power of the DATA part of a frame (from the SIGNAL symbol on).
double data_power(const CVec& x, size_t from, size_t to) {
  double p = 0;
  for (size_t i = from; i < to; ++i) p += std::norm(x[i]);
  return p / static_cast<double>(to - from);
}

TEST(OfdmReceiverTest, DecodesTheAnnexGPacket) {
  const auto tables = annex_g::load(std::string(TARVIO_TESTDATA) + "/ieee80211a-annex-g.txt");
  const CVec& x = tables.at("G24").values;
  OfdmReceiver rx(1);
  const OfdmPacket p = rx.receive(x.data(), x.size(), 0);
  ASSERT_TRUE(p.found) << p.error;
  EXPECT_TRUE(p.signalOk) << p.error;
  EXPECT_EQ(p.rateMbps, 36);
  EXPECT_EQ(p.length, 100u);
  EXPECT_EQ(p.psdu, tables.at("G1").bits);
  // The example's last four octets are not the CRC-32 of the others
  // (that would be 67 33 21 B6): the receiver says so.
  EXPECT_FALSE(p.fcsOk);
  EXPECT_LT(p.evmDb, -40);  // the annex prints three decimals
}

// With noise 10 dB below the 6 Mbit/s EVM limit the packet still decodes;
// at the high rates the reported EVM is the one the noise implies. In a
// 64*os-point DFT the noise per bin is N sigma2 and the signal per used
// carrier N^2 P / 52, so EVM^2 = 52 sigma2 / (N P).
TEST(OfdmReceiverTest, NoiseGivesTheEvmItImplies) {
  struct Case {
    int rate;
    double os, evmDb;
  };
  for (const Case c : {Case{0, 1, -15}, Case{1, 2, -26}, Case{2, 1, -33}, Case{2, 3, -30}}) {
    const Bits psdu = random_psdu(300, 5);
    CVec x = ofdm_frame(kOfdm[c.rate], psdu, c.os);
    const size_t os = static_cast<size_t>(c.os);
    const double P = data_power(x, 320 * os, x.size() - 200 * os);
    const double N = 64 * c.os;
    const double sigma2 = std::pow(10, c.evmDb / 10) * N * P / 52;
    add_noise(x, sigma2, 11);
    OfdmReceiver rx(static_cast<int>(c.os));
    const OfdmPacket p = rx.receive(x.data(), x.size(), 0);
    ASSERT_TRUE(p.fcsOk) << kOfdm[c.rate].rate << " Mbit/s " << p.error;
    EXPECT_EQ(p.psdu, psdu);
    EXPECT_NEAR(p.evmDb, c.evmDb, 1.0) << kOfdm[c.rate].rate << " Mbit/s";
    EXPECT_LT(p.evmDb, p.evmLimitDb);
  }
}

// OFDM ramp times: the generator's edges (a 2-sample window) read at most
// 0.15 us; an amplitude that runs in a straight line over T takes 0.632 T
// from 10 % to 90 % of the power (sqrt 0.1 to sqrt 0.9 of the way): 2 us
// at power-on, 0.6 us at power-down, at 20 and 40 Msample/s.
TEST(OfdmReceiverTest, RampTimes) {
  for (double os : {1.0, 2.0}) {
    CVec x = ofdm_frame(kOfdm[1], random_psdu(200, 3), os);
    OfdmReceiver rx(static_cast<int>(os));
    const OfdmPacket sharp = rx.receive(x.data(), x.size(), 0);
    ASSERT_TRUE(sharp.ramps.evaluated) << sharp.error;
    EXPECT_LE(sharp.ramps.onSeconds, 0.15e-6);
    EXPECT_LE(sharp.ramps.offSeconds, 0.15e-6);
    auto ramp = [&](size_t samples, bool on) {
      for (size_t i = 0; i < samples; ++i)
        x[on ? sharp.start + i : sharp.end - 1 - i] *= (static_cast<double>(i) + 0.5) / static_cast<double>(samples);
    };
    ramp(static_cast<size_t>(40 * os), true);
    ramp(static_cast<size_t>(12 * os), false);
    std::fill(x.begin() + static_cast<long>(sharp.end), x.end(), cplx(0));  // the symbol's extension too
    const OfdmPacket slow = rx.receive(x.data(), x.size(), 0);
    ASSERT_TRUE(slow.ramps.evaluated) << slow.error;
    EXPECT_NEAR(slow.ramps.onSeconds, 1.265e-6, 0.15e-6) << os;
    EXPECT_NEAR(slow.ramps.offSeconds, 0.379e-6, 0.1e-6) << os;
  }
}

TEST(OfdmReceiverTest, SpoiledWaveformsFail) {
  const Bits psdu = random_psdu(200, 9);
  OfdmReceiver rx(1);
  Bits flipped = psdu;
  flipped[100] ^= 1;  // after the FCS was computed
  const CVec bad = ofdm_frame(kOfdm[2], flipped);
  EXPECT_FALSE(rx.receive(bad.data(), bad.size(), 0).fcsOk);
  CVec conj = ofdm_frame(kOfdm[2], psdu), swapped = conj;
  for (auto& v : conj) v = std::conj(v);
  for (auto& v : swapped) v = cplx(v.imag(), v.real());
  for (const CVec* x : {&conj, &swapped}) {
    const OfdmPacket p = rx.receive(x->data(), x->size(), 0);
    EXPECT_FALSE(p.signalOk && p.fcsOk);
  }
}

// ---- DSSS built by hand: 1 Mbit/s, long preamble, scrambled ----

constexpr double kBarker[11] = {1, -1, 1, 1, -1, 1, 1, 1, -1, -1, -1};

Bits hex_lsb_first(unsigned v, size_t n) {
  Bits b(n);
  for (size_t i = 0; i < n; ++i) b[i] = (v >> i) & 1u;
  return b;
}

// Preamble, the header of 100 octets at 1 Mbit/s (SIGNAL 0Ah, SERVICE 0,
// LENGTH 800, CRC 1B8Ch sent from its x^15 bit) and the PSDU, scrambled
// with the long-preamble seed, DBPSK from phase 45 degrees, Barker spread.
CVec hand_built_burst(const Bits& psdu, bool badCrc) {
  Bits bits(128, 1);
  const Bits sfd = hex_lsb_first(0xF3A0, 16), sig = hex_lsb_first(0x0A, 8), svc = hex_lsb_first(0, 8),
             len = hex_lsb_first(800, 16);
  for (const Bits* f : {&sfd, &sig, &svc, &len}) bits.insert(bits.end(), f->begin(), f->end());
  for (int i = 15; i >= 0; --i) bits.push_back((0x1B8C >> i) & 1);
  if (badCrc) bits.back() ^= 1;
  bits.insert(bits.end(), psdu.begin(), psdu.end());
  unsigned z = 0b0011011;  // Z1..Z7 = 1 1 0 1 1 0 0, Z1 in bit 0
  cplx phase = std::polar(1.0, std::numbers::pi / 4);
  CVec x(50, cplx(0));  // some idle first
  for (uint8_t b : bits) {
    const unsigned s = b ^ ((z >> 3) & 1u) ^ ((z >> 6) & 1u);
    z = ((z << 1) | s) & 0x7Fu;
    if (s) phase = -phase;
    for (double c : kBarker) x.push_back(phase * c);
  }
  x.resize(x.size() + 50, cplx(0));
  return x;
}

// A burst cut by the end of the samples (its SIGNAL field promising more
// symbols than there are) ends with them: nothing past the row is read,
// the packet fails. A NaN inside a burst leaves EVM and mask unmeasured.
TEST(VerifierTest, CutBurstsAndNaNsAreReportedNotRead) {
  const CVec frame = ofdm_frame(kOfdm[0], random_psdu(1500, 9), 2);
  const CVec cut(frame.begin(), frame.begin() + static_cast<long>(frame.size() / 4));
  CVec nan = frame;
  nan[frame.size() / 2] = cplx(NAN, 0);
  struct Case {
    const CVec* x;
    const char* failure;
  };
  for (const Case& c : {Case{&cut, "burst ended"}, Case{&nan, "not numbers"}}) {
    Verifier v(40e6, Family::Ofdm);
    std::vector<PacketCheck> out;
    ASSERT_EQ(v.scan(c.x->data(), c.x->size(), 0, 0, out), 1u) << c.failure;
    EXPECT_LE(out[0].end, c.x->size());
    EXPECT_FALSE(out[0].pass);
    std::string all;
    for (const std::string& f : out[0].failures) all += f + "; ";
    EXPECT_NE(all.find(c.failure), std::string::npos) << all;
  }
}

TEST(DsssReceiverTest, DecodesAHandBuiltBurst) {
  const Bits psdu = random_psdu(100, 3);
  DsssReceiver rx(1);
  const CVec x = hand_built_burst(psdu, false);
  const DsssPacket p = rx.receive(x.data(), x.size(), 0);
  ASSERT_TRUE(p.found) << p.error;
  EXPECT_TRUE(p.longPreamble);
  EXPECT_EQ(p.scrambling, "on");
  EXPECT_TRUE(p.headerCrcOk);
  EXPECT_EQ(p.rateMbps, 1);
  EXPECT_EQ(p.lengthUs, 800u);
  EXPECT_EQ(p.octets, 100u);
  EXPECT_EQ(p.psdu, psdu);
  EXPECT_TRUE(p.fcsOk);
  EXPECT_LT(p.evmPercent, 1e-6);
  const CVec bad = hand_built_burst(psdu, true);
  EXPECT_FALSE(rx.receive(bad.data(), bad.size(), 0).headerCrcOk);
}

CVec dsss_frame(const Bits& psdu, double rate, double pbcc, double preamble, double os, double filter = 0,
                double encoder = 1) {
  const RVec taps = GenFilterCoeffs(filter, 8, 0.5, os, {});
  if (rate > 11)
    return Dot11g_FRAME(psdu, 28957, rate, 1, preamble, 0, 1, encoder, 1, 300, 0, 0, os, filter, 0.5, 8 * os, 0, taps)
        .waveform;
  return Dot11b_FRAME(psdu, rate, pbcc, preamble, 0, 1, encoder, 1, 300, 0, 0, os, filter, 0.5, 8 * os, 0, taps)
      .waveform;
}

// Chip EVM of an unfiltered burst at one sample per chip (unit chips) with
// noise of variance sigma2 is sigma.
TEST(DsssReceiverTest, NoiseGivesTheEvmItImplies) {
  const Bits psdu = random_psdu(300, 8);
  for (double rate : {11.0, 2.0}) {
    CVec x = dsss_frame(psdu, rate, 0, 0, 1);
    add_noise(x, 0.01, 4);  // EVM 10 %, -20 dB
    DsssReceiver rx(1);
    const DsssPacket p = rx.receive(x.data(), x.size(), 0);
    ASSERT_TRUE(p.fcsOk) << rate << " " << p.error;
    EXPECT_NEAR(p.evmDb, -20, 1.0) << rate;
  }
}

TEST(DsssReceiverTest, SpoiledWaveformsFail) {
  const Bits psdu = random_psdu(120, 6);
  DsssReceiver rx(1);
  Bits flipped = psdu;
  flipped[77] ^= 1;
  const CVec bad = dsss_frame(flipped, 11, 0, 1, 1);
  EXPECT_FALSE(rx.receive(bad.data(), bad.size(), 0).fcsOk);
  // CCK and DQPSK tell the turning direction apart (a 1 Mbit/s DBPSK burst
  // conjugated is the same burst turned by a constant phase).
  CVec conj = dsss_frame(psdu, 11, 0, 1, 1), swapped = conj;
  for (auto& v : conj) v = std::conj(v);
  for (auto& v : swapped) v = cplx(v.imag(), v.real());
  for (const CVec* x : {&conj, &swapped}) EXPECT_FALSE(rx.receive(x->data(), x->size(), 0).fcsOk);
}

// The generator's own rules are decoded, and said to be outside IEEE 802.11.
TEST(DsssReceiverTest, FlagsTheUncodedTestModeAndTheSpreadClockSwitch) {
  const Bits psdu = random_psdu(60, 2);
  {
    const CVec x = dsss_frame(psdu, 11, 1, 0, 2, 2, 0);
    DsssReceiver rx(2);
    const DsssPacket p = rx.receive(x.data(), x.size(), 0);
    EXPECT_TRUE(p.fcsOk) << p.error;
    EXPECT_TRUE(p.pbccConvention.uncoded);
    EXPECT_EQ(p.warnings.size(), 1u);
  }
  {
    const CVec x = dsss_frame(psdu, 33, 1, 1, 3, 2);
    DsssReceiver rx(3);
    const DsssPacket p = rx.receive(x.data(), x.size(), 0);
    EXPECT_TRUE(p.fcsOk) << p.error;
    EXPECT_EQ(p.clockSwitch, ClockSwitch::Spread);
    EXPECT_EQ(p.clockSwitchBits, 28957u);
    EXPECT_FALSE(p.pbccConvention.uncoded);
    EXPECT_FALSE(p.warnings.empty());
  }
}

}  // namespace
}  // namespace tarvio::verify
