// OFDM packet assembly: length against the size estimate, marker rows,
// seamless looping through the circular filter, the unframed tail wrap, the
// idle-only frame of oversized packets, mirroring, the registered operation
// and the idle-interval entry.
#include "ofdm/dot11a_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "dsp/filter_design.h"
#include "ofdm/dot11a_carrier_mapping.h"
#include "ofdm/dot11a_data.h"
#include "ofdm/dot11a_idle_interval.h"
#include "ofdm/dot11a_signal.h"
#include "ofdm/dot11a_size_est.h"
#include "ofdm/dot11a_time_domain.h"
#include "ofdm/dot11a_training.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

struct RateRow {
  double rate, modulation, encoderRate;
};
// IEEE 802.11a Table 78.
const RateRow kRates[] = {{6, 1, 0.5},  {9, 1, 0.75},  {12, 2, 0.5},     {18, 2, 0.75},
                          {24, 3, 0.5}, {36, 3, 0.75}, {48, 4, 2.0 / 3}, {54, 4, 0.75}};

RVec default_subcarriers() {
  RVec m(53, 1.0);
  m[26] = 0;
  return m;
}

// A deterministic packet of whole octets.
Bits packet(size_t octets, unsigned seed = 1) {
  Bits b(8 * octets);
  unsigned x = seed;
  for (auto& v : b) {
    x = x * 1103515245u + 12345u;
    v = (x >> 16) & 1u;
  }
  return b;
}

struct FrameArgs {
  double mode = 1;
  Bits bits = packet(100);
  RateRow rate = kRates[0];
  double os = 2, wl = 4, idle = 400, filterType = 0, mirror = 0;
  RVec sub = default_subcarriers();
  RVec taps = {1.0};
  Frame run() const {
    return Dot11a_FRAME(mode, bits, 0, rate.rate, rate.modulation, rate.encoderRate, 1, 93, 1, sub, os, wl, idle,
                        filterType, 0.5, static_cast<double>(taps.size()), mirror, 0, taps);
  }
};

Parameters size_params(const FrameArgs& a) {
  Parameters p;
  p.generationMode = a.mode;
  p.dataLength = static_cast<double>(a.bits.size() / 8);
  p.MACheader.Active = 0;
  p.MACfcs.Active = 0;
  p.modulation = a.rate.modulation;
  p.encoderRate = a.rate.encoderRate;
  p.OverSampling = a.os;
  p.idleSamples = a.idle;
  return p;
}

// y[n] = sum_k h[k] x[(n - k) mod M], then advanced by floor(L/2).
CVec naive_circular_rotated(const CVec& x, const RVec& h) {
  const size_t M = x.size(), L = h.size(), D = (L / 2) % M;
  CVec y(M);
  for (size_t n = 0; n < M; ++n) {
    cplx acc = 0;
    for (size_t k = 0; k < L; ++k) acc += h[k] * x[(n + M - k % M) % M];
    y[n] = acc;
  }
  std::rotate(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(D), y.end());
  return y;
}

double max_abs_diff(const CVec& a, const CVec& b) {
  double e = 0;
  for (size_t i = 0; i < a.size(); ++i) e = std::max(e, std::abs(a[i] - b[i]));
  return e;
}

size_t ones(const std::vector<uint8_t>& r) { return static_cast<size_t>(std::count(r.begin(), r.end(), 1)); }

// Sweep over every rate, framed and unframed, OverSampling 1..5, windowing
// 0/1/4/16 and filter types 0..3, with a short packet.
class FrameSweep : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(FrameSweep, LengthMarkersAndSeamlessLoop) {
  const auto [rate_index, mode] = GetParam();
  for (int os = 1; os <= 5; ++os) {
    for (double wl : {0.0, 1.0, 4.0, 16.0}) {
      for (int type = 0; type <= 3; ++type) {
        FrameArgs a;
        a.mode = mode;
        a.rate = kRates[rate_index];
        a.bits = packet(5 + static_cast<size_t>(os), static_cast<unsigned>(type + 1));
        a.os = os;
        a.wl = wl;
        a.idle = wl + 7 + os;  // odd and even idle lengths
        a.filterType = type;
        a.taps = GenFilterCoeffs(type, 6, 0.5, os, {});
        SCOPED_TRACE(::testing::Message() << "rate " << a.rate.rate << " mode " << mode << " OS " << os << " WL " << wl
                                          << " filter " << type);
        const Frame f = a.run();
        const size_t M = f.waveform.size();
        EXPECT_EQ(static_cast<double>(M), Dot11a_SizeEst(size_params(a)));
        EXPECT_EQ(M % 2, 0u);
        ASSERT_EQ(f.markers.row1.size(), M);
        ASSERT_EQ(f.markers.row2.size(), M);
        EXPECT_EQ(ones(f.markers.row1), 1u);
        EXPECT_EQ(f.markers.row1[0], 1);

        // Marker 2 is one run of ones over the burst, from the first sample.
        const Dot11aDataBits db = dot11a_data_bits(mode, a.bits, 0, a.rate.modulation, a.rate.encoderRate, 1, 93);
        const size_t burst = mode ? (400 + 80 * db.nsym) * os + static_cast<size_t>(wl) : 80 * db.nsym * os;
        EXPECT_EQ(ones(f.markers.row2), burst);
        EXPECT_TRUE(std::all_of(f.markers.row2.begin(), f.markers.row2.begin() + static_cast<std::ptrdiff_t>(burst),
                                [](uint8_t v) { return v == 1; }));

        // The filtered frame is the circular filtering of the unfiltered one.
        FrameArgs plain = a;
        plain.taps = {1.0};
        const Frame u = plain.run();
        ASSERT_EQ(u.waveform.size(), M);
        EXPECT_LT(max_abs_diff(f.waveform, naive_circular_rotated(u.waveform, a.taps)), 1e-12);
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllRatesBothModes, FrameSweep,
                         ::testing::Combine(::testing::Range(0, 8), ::testing::Values(0, 1)));

TEST(Dot11aFrame, SixMbitFramedExampleHas6800SamplesAnd6404BurstSamples) {
  FrameArgs a;  // 6 Mbit/s framed, 100 octets, OS 2, WL 4, idle 400
  const Frame f = a.run();
  EXPECT_EQ(f.waveform.size(), 6800u);
  EXPECT_EQ(ones(f.markers.row2), 6404u);
  EXPECT_EQ(Dot11a_SizeEst(size_params(a)), 6800.0);
  // The idle part is silent.
  for (size_t i = 6404; i < 6800; ++i) ASSERT_EQ(f.waveform[i], cplx(0.0, 0.0)) << i;
}

TEST(Dot11aFrame, FramedBurstIsPreambleSignalAndDataOverlapped) {
  FrameArgs a;
  a.rate = kRates[5];
  a.bits = packet(20);
  const Frame f = a.run();
  const RVec mask = Dot11a_CarrierMapping(a.sub, 1);
  CVec expect =
      Dot11a_StitchSubFrames(Dot11a_SYNC(a.os, a.wl, mask, 0), Dot11a_SIGNAL(36, 20, a.os, a.wl, mask, 0), a.wl);
  expect = Dot11a_StitchSubFrames(expect, Dot11a_DATA(1, a.bits, 0, 36, 3, 0.75, 1, 93, 1, a.os, a.wl, mask, 0), a.wl);
  ASSERT_LE(expect.size(), f.waveform.size());
  EXPECT_LT(
      max_abs_diff(CVec(f.waveform.begin(), f.waveform.begin() + static_cast<std::ptrdiff_t>(expect.size())), expect),
      1e-15);
}

TEST(Dot11aFrame, UnframedWrapsTheWindowTailOntoTheStart) {
  for (double wl : {0.0, 4.0}) {
    FrameArgs a;
    a.mode = 0;
    a.wl = wl;
    a.bits = packet(30);
    const Frame f = a.run();
    const RVec mask = Dot11a_CarrierMapping(a.sub, 1);
    const CVec d = Dot11a_DATA(0, a.bits, 0, 6, 1, 0.5, 1, 93, 1, a.os, wl, mask, 0);
    const size_t W = static_cast<size_t>(wl), n = d.size() - W;
    ASSERT_EQ(f.waveform.size(), n);  // N_SYM * 80 * OS, no idle part
    EXPECT_EQ(n % (80 * 2), 0u);
    EXPECT_EQ(ones(f.markers.row2), n);
    for (size_t i = 0; i < n; ++i) {
      const cplx want = i < W ? d[i] + d[n + i] : d[i];
      ASSERT_LT(std::abs(f.waveform[i] - want), 1e-15) << "wl " << wl << " sample " << i;
    }
  }
}

TEST(Dot11aFrame, MirroringConjugatesEverySample) {
  FrameArgs a;
  a.taps = GenFilterCoeffs(2, 6, 0.5, 2, {});
  a.filterType = 2;
  const Frame f = a.run();
  a.mirror = 1;
  const Frame m = a.run();
  ASSERT_EQ(f.waveform.size(), m.waveform.size());
  for (size_t i = 0; i < f.waveform.size(); ++i) ASSERT_EQ(m.waveform[i], std::conj(f.waveform[i]));
  EXPECT_EQ(m.markers.row2, f.markers.row2);
}

TEST(Dot11aFrame, FilterLongerThanTheFrameWrapsAroundIt) {
  FrameArgs a;
  a.mode = 0;
  a.wl = 0;
  a.bits = packet(3);  // one symbol: 160 samples at OS 2
  a.filterType = 2;
  a.taps = GenFilterCoeffs(2, 1000, 0.3, 2, {});  // 2000 taps
  const Frame f = a.run();
  FrameArgs plain = a;
  plain.taps = {1.0};
  const Frame u = plain.run();
  ASSERT_EQ(f.waveform.size(), 160u);
  EXPECT_LT(max_abs_diff(f.waveform, naive_circular_rotated(u.waveform, a.taps)), 1e-12);
}

TEST(Dot11aFrame, NegativeFilterTypeLeavesTheFrameUnfiltered) {
  FrameArgs a;
  a.taps = GenFilterCoeffs(2, 6, 0.5, 2, {});
  a.filterType = -1;
  FrameArgs plain;
  EXPECT_EQ(a.run().waveform, plain.run().waveform);
}

TEST(Dot11aFrame, OversizedPacketGivesOnlyTheIdleInterval) {
  FrameArgs a;
  a.bits = packet(4096);  // 32768 bits: more than the 12-bit LENGTH can announce
  a.idle = 400;
  Frame f = a.run();
  ASSERT_EQ(f.waveform.size(), 400u);
  EXPECT_TRUE(std::all_of(f.waveform.begin(), f.waveform.end(), [](cplx v) { return v == cplx(0.0, 0.0); }));
  EXPECT_EQ(f.markers.row1[0], 1);
  EXPECT_EQ(ones(f.markers.row1), 1u);
  EXPECT_EQ(ones(f.markers.row2), 0u);
  // No idle interval: still a frame of two silent samples; odd idle lengths
  // are padded to even.
  a.idle = 0;
  f = a.run();
  EXPECT_EQ(f.waveform.size(), 2u);
  EXPECT_EQ(f.markers.row1.size(), 2u);
  EXPECT_EQ(f.markers.row1[0], 1);
  a.idle = 401;
  f = a.run();
  EXPECT_EQ(f.waveform.size(), 402u);
  EXPECT_EQ(f.markers.row2.size(), 402u);
}

TEST(Dot11aFrame, LargestPacketIsStillGenerated) {
  FrameArgs a;
  a.rate = kRates[7];
  a.bits = packet(4095);  // exactly 32760 bits
  a.os = 1;
  a.wl = 0;
  const Frame f = a.run();
  EXPECT_EQ(static_cast<double>(f.waveform.size()), Dot11a_SizeEst(size_params(a)));
  EXPECT_GT(ones(f.markers.row2), 0u);
}

TEST(Dot11aFrame, RejectsInputsItCannotFrame) {
  FrameArgs a;
  a.bits = Bits(13, 1);  // framed packets are whole octets
  EXPECT_THROW(a.run(), std::invalid_argument);
  a = FrameArgs();
  a.mode = 0;
  a.bits.clear();
  EXPECT_THROW(a.run(), std::invalid_argument);
  a = FrameArgs();
  a.rate.modulation = 5;
  EXPECT_THROW(a.run(), std::invalid_argument);
  a = FrameArgs();
  a.rate.encoderRate = 0.6;
  EXPECT_THROW(a.run(), std::invalid_argument);
  a = FrameArgs();
  a.wl = 129;  // more than 64 x OverSampling
  EXPECT_THROW(a.run(), std::invalid_argument);
  a = FrameArgs();
  a.sub.pop_back();
  EXPECT_THROW(a.run(), std::invalid_argument);
  a = FrameArgs();
  a.taps.clear();
  EXPECT_THROW(a.run(), std::invalid_argument);
  a = FrameArgs();
  a.idle = 2.5;
  EXPECT_THROW(a.run(), std::invalid_argument);
}

TEST(Dot11aFrame, RegisteredOperationTakesTheProgramWideFilter) {
  FrameArgs a;
  a.bits = packet(10);
  a.filterType = 1;
  a.taps = GenFilterCoeffs(1, 6, 0.5, 2, {});
  const RVec saved = state().parameters.filterCoeffs;
  state().parameters.filterCoeffs = a.taps;
  Args in = {Value(1.0),   Value::row(a.bits), Value(0.0), Value(6.0),        Value(1.0), Value(0.5),
             Value(1.0),   Value(93.0),        Value(1.0), Value::row(a.sub), Value(2.0), Value(4.0),
             Value(400.0), Value(1.0),         Value(0.5), Value(12.0),       Value(0.0), Value(0.0)};
  const std::vector<Value> out = Registry::instance().call("Dot11a_FRAME", in, 2);
  state().parameters.filterCoeffs = saved;
  const Frame f = a.run();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].to_complex(), f.waveform);
  EXPECT_EQ(out[1].rows(), 2u);
  EXPECT_EQ(out[1].to_markers().row2, f.markers.row2);
  in.push_back(Value(0.0));
  EXPECT_THROW(Registry::instance().call("Dot11a_FRAME", in, 2), CountError);
}

TEST(Dot11aIdleInterval, EntryTextToIdleSamples) {
  struct Case {
    const char* text;
    double os, samples;
    const char* shown;
  };
  const Case cases[] = {
      {"100", 2, 4000, "100"}, {" 12.5 ", 1, 250, "12.5"}, {"0.03", 1, 1, "0.05"},           {"abc", 2, 0, "0"},
      {"", 3, 0, "0"},         {"-5", 2, 0, "0"},          {"200000", 1, 2000000, "100000"}, {"7 8", 2, 0, "0"},
      {"1e2", 4, 8000, "100"},
  };
  for (const Case& c : cases) {
    Parameters p;
    p.OverSampling = c.os;
    EXPECT_EQ(Dot11a_txtIdleInterval(c.text, p), c.shown) << c.text;
    EXPECT_EQ(p.idleSamples, c.samples) << c.text;
  }
}

}  // namespace
}  // namespace tarvio
