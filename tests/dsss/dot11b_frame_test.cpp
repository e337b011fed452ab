// The 802.11b burst: length against the size estimate, marker rows, power
// ramps, circular filtering against a direct-form reference, half-integer
// oversampling, spectrum mirroring, the PBCC phase reference, the idle entry
// and the rejected settings.
#include "dsss/dot11b_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <stdexcept>

#include "dsp/filter_design.h"
#include "dsss/dot11b_cck.h"
#include "dsss/dot11b_idle_interval.h"
#include "dsss/dot11b_size_est.h"
#include "records/records.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace {

using tarvio::Bits;
using tarvio::cplx;
using tarvio::CVec;
using tarvio::RVec;
const cplx kStart = cplx(1, 1) / std::sqrt(2.0);

Bits pattern_bits(size_t octets) {
  Bits b(8 * octets);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(((i * 13) ^ (i / 5)) & 1u);
  return b;
}

struct Setting {
  double rate = 11, mod = 0, preamble = 0, scrambler = 1, encoder = 1, framed = 1;
  double idle = 0, rampType = 0, rampLength = 0, os = 1, filterType = 0, filterTaps = 6;
  size_t octets = 13;
};

void PrintTo(const Setting& s, std::ostream* os) {
  *os << s.rate << " Mbit/s mod " << s.mod << " preamble " << s.preamble << " scrambler " << s.scrambler << " encoder "
      << s.encoder << " framed " << s.framed << " idle " << s.idle << " ramp " << s.rampType << "/" << s.rampLength
      << " OS " << s.os << " filter " << s.filterType << " octets " << s.octets;
}

tarvio::Frame make(const Setting& s, const Bits& bits) {
  const RVec h = tarvio::GenFilterCoeffs(s.filterType, s.filterTaps, 0.5, s.os, {});
  return tarvio::Dot11b_FRAME(bits, s.rate, s.mod, s.preamble, 0, s.scrambler, s.encoder, s.framed, s.idle, s.rampType,
                              s.rampLength, s.os, s.filterType, 0.5, s.filterTaps * s.os, 0, h);
}

// Chips of the burst counted from the 802.11b frame structure.
double burst_chips(const Setting& s, double n) {
  double data;
  if (s.rate == 1)
    data = 11 * n;
  else if (s.rate == 2)
    data = 11 * n / 2;
  else if (s.mod == 0)
    data = s.rate == 5.5 ? 2 * n : n;
  else if (s.rate == 5.5)
    data = s.encoder == 1 ? 2 * (n + 8) : n;  // rate-1/2 code with an 8-bit tail
  else
    data = s.encoder == 1 ? n + 8 : n / 2;
  double plcp = 0, ramp = 0;
  if (s.framed == 1) {
    plcp = s.preamble == 0 ? 192 * 11 : 72 * 11 + 24 * 11;
    if (s.rampType > 0) ramp = 2 * tarvio::round_half_away(s.rampLength / s.os);
  }
  return plcp + data + ramp;
}

class Dot11bFrameGrid : public ::testing::TestWithParam<Setting> {};

TEST_P(Dot11bFrameGrid, LengthMatchesEstimateAndMarkersHaveTheirShape) {
  const Setting s = GetParam();
  const Bits bits = pattern_bits(s.octets);
  const tarvio::Frame f = make(s, bits);
  const double n = static_cast<double>(bits.size());
  // Samples: upsampling by 2*OS and keeping every second one for half-integer OS.
  const double twiceOs = 2 * s.os;
  const bool half = std::fmod(twiceOs, 2) == 1;
  const double up = burst_chips(s, n) * (half ? twiceOs : s.os);
  const size_t m = static_cast<size_t>(half ? std::ceil(up / 2) : up);
  const size_t idle = s.framed == 1 ? static_cast<size_t>(s.idle) : 0;
  const size_t total = m + idle + (m + idle) % 2;
  ASSERT_EQ(f.waveform.size(), total);
  ASSERT_EQ(f.markers.row1.size(), total);
  ASSERT_EQ(f.markers.row2.size(), total);

  const double est =
      tarvio::Dot11b_SizeEst(s.framed, n, s.rate, s.mod, s.encoder, s.preamble, s.idle, s.rampType, s.rampLength, s.os);
  const bool rampExact =
      !(s.framed == 1 && s.rampType > 0) || tarvio::round_half_away(s.rampLength / s.os) * s.os == s.rampLength;
  const bool tailFree = !(s.mod != 0 && s.rate >= 5.5 && s.encoder == 1);
  const bool wholeSamples = !half || std::fmod(up, 2) == 0;
  if (rampExact && tailFree && wholeSamples) {
    EXPECT_EQ(static_cast<double>(total), est);
  }

  const size_t r = (s.framed == 1 && s.rampType > 0) ? static_cast<size_t>(s.rampLength) : 0;
  for (size_t i = 0; i < total; ++i) {
    EXPECT_EQ(f.markers.row2[i], i < m ? 1 : 0) << i;
    EXPECT_EQ(f.markers.row1[i], (i >= r && i < m - r) ? 1 : 0) << i;
    if (i >= m) {
      EXPECT_EQ(f.waveform[i], cplx(0, 0)) << i;
    }
  }
}

std::vector<Setting> grid() {
  std::vector<Setting> out;
  const double rates[4] = {1, 2, 5.5, 11}, oss[5] = {1, 1.5, 2, 4, 9}, idles[3] = {0, 7, 100};
  const double ramps[4] = {0, 4, 9, 44};
  size_t k = 0;
  for (double rate : rates)
    for (double mod : {0.0, 1.0})
      for (double pre : {0.0, 1.0})
        for (double scr : {0.0, 1.0, 2.0})
          for (double enc : {0.0, 1.0})
            for (double rt : {0.0, 1.0, 2.0})
              for (double os : oss)
                for (double ft : {0.0, 1.0, 2.0, 3.0})
                  for (double fr : {0.0, 1.0}) {
                    if (mod == 1 && rate < 5.5) continue;
                    if (rate == 1 && pre == 1) continue;
                    if (++k % 97 != 0) continue;  // a spread-out subsample of the grid
                    Setting s;
                    s.rate = rate, s.mod = mod, s.preamble = pre, s.scrambler = scr, s.encoder = enc;
                    s.rampType = rt, s.os = os, s.filterType = ft, s.framed = fr;
                    s.idle = idles[k % 3];
                    s.rampLength = ramps[(k / 3) % 4];
                    s.octets = 5 + k % 23;
                    out.push_back(s);
                  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(Subsampled, Dot11bFrameGrid, ::testing::ValuesIn(grid()));

TEST(Dot11bFrame, HundredOctetsAtOneMbit) {
  Setting s;
  s.rate = 1, s.octets = 100, s.filterTaps = 1, s.idle = 0;
  tarvio::Frame f = make(s, pattern_bits(100));
  EXPECT_EQ(f.waveform.size(), 10912u);
  s.idle = 1;
  f = make(s, pattern_bits(100));
  ASSERT_EQ(f.waveform.size(), 10914u);
  for (size_t i = 10912; i < 10914; ++i) {
    EXPECT_EQ(f.markers.row1[i], 0);
    EXPECT_EQ(f.markers.row2[i], 0);
  }
  EXPECT_EQ(f.markers.row2[10911], 1);
}

// Zero insertion, circular FIR in direct form (prefix of the last L-1
// samples, drop L-1 outputs), rotation left by floor(L/2), mean removal,
// decimation.
CVec reference_chain(const CVec& chips, size_t up, const RVec& h, size_t decimate) {
  CVec x(chips.size() * up, cplx(0, 0));
  for (size_t i = 0; i < chips.size(); ++i) x[i * up] = chips[i];
  const size_t n = x.size(), l = h.size();
  CVec ext(x.end() - static_cast<long>(l - 1), x.end());
  ext.insert(ext.end(), x.begin(), x.end());
  CVec y(n);
  for (size_t i = 0; i < n; ++i) {
    cplx acc = 0;
    for (size_t k = 0; k < l; ++k) acc += h[k] * ext[i + l - 1 - k];
    y[i] = acc;
  }
  std::rotate(y.begin(), y.begin() + static_cast<long>(l / 2), y.end());
  cplx mean = 0;
  for (auto v : y) mean += v;
  mean /= static_cast<double>(n);
  CVec out;
  for (size_t i = 0; i < n; i += decimate) out.push_back(y[i] - mean);
  return out;
}

struct FilterCase {
  double filterType, filterTaps, os;
  size_t octets;
};

void PrintTo(const FilterCase& c, std::ostream* os) {
  *os << "type " << c.filterType << " taps " << c.filterTaps << " OS " << c.os << " octets " << c.octets;
}

class Dot11bFrameFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(Dot11bFrameFilter, EqualsDirectFormCircularFilter) {
  const FilterCase c = GetParam();
  const Bits bits = pattern_bits(c.octets);
  Setting s;
  s.framed = 0, s.scrambler = 0, s.rate = 11, s.os = c.os, s.filterType = c.filterType, s.filterTaps = c.filterTaps;
  const tarvio::Frame f = make(s, bits);
  const CVec chips = tarvio::Dot11b_CCK(bits, 11, kStart);
  const bool half = std::fmod(c.os, 1) != 0;
  const size_t up = static_cast<size_t>(half ? 2 * c.os : c.os);
  // Taps designed for the samples per chip at which they are applied.
  const RVec h = tarvio::GenFilterCoeffs(c.filterType, c.filterTaps, 0.5, static_cast<double>(up), {});
  const CVec ref = reference_chain(chips, up, h, half ? 2 : 1);
  ASSERT_GE(f.waveform.size(), ref.size());
  double peak = 0;
  for (auto v : ref) peak = std::max(peak, std::abs(v));
  for (size_t i = 0; i < ref.size(); ++i) ASSERT_NEAR(std::abs(f.waveform[i] - ref[i]), 0, 1e-9 * peak) << i;
}

INSTANTIATE_TEST_SUITE_P(Types, Dot11bFrameFilter,
                         ::testing::Values(FilterCase{0, 6, 2, 20}, FilterCase{1, 6, 4, 20}, FilterCase{2, 6, 2, 20},
                                           FilterCase{3, 5, 9, 10}, FilterCase{2, 6, 1.5, 20},
                                           FilterCase{1, 4, 4.5, 12}, FilterCase{2, 1000, 4, 600}));

// Taps longer than the burst wrap around it (the burst is one period).
TEST(Dot11bFrame, FilterLongerThanBurstWraps) {
  const Bits bits = pattern_bits(2);
  const RVec h = tarvio::GenFilterCoeffs(2, 40, 0.5, 2, {});  // 80 taps, burst of 32 samples
  const tarvio::Frame f = tarvio::Dot11b_FRAME(bits, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 0.5, 80, 0, h);
  const CVec chips = tarvio::Dot11b_CCK(bits, 11, kStart);
  const size_t n = 2 * chips.size(), shift = h.size() / 2;
  ASSERT_EQ(f.waveform.size(), n);
  CVec y(n);
  for (size_t i = 0; i < n; ++i)
    for (size_t k = 0; k < h.size(); ++k) {
      const size_t j = (i + shift + n * h.size() - k) % n;  // circular index
      if (j % 2 == 0) y[i] += h[k] * chips[j / 2];
    }
  cplx mean = 0;
  for (auto v : y) mean += v;
  mean /= static_cast<double>(n);
  for (size_t i = 0; i < n; ++i) EXPECT_NEAR(std::abs(f.waveform[i] - (y[i] - mean)), 0, 1e-12) << i;
}

TEST(Dot11bFrame, HalfIntegerOversamplingRedesignsTapsButKeepsUserTaps) {
  const Bits bits = pattern_bits(16);
  const RVec designed = tarvio::GenFilterCoeffs(2, 6, 0.5, 1.5, {});  // 9 taps for 1.5 per chip
  const tarvio::Frame a = tarvio::Dot11b_FRAME(bits, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.5, 2, 0.5, 9, 0, designed);
  // The same 9 taps as a user filter are applied as given, at 3 samples per chip.
  const tarvio::Frame b = tarvio::Dot11b_FRAME(bits, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.5, 4, 0.5, 9, 0, designed);
  const CVec chips = tarvio::Dot11b_CCK(bits, 11, kStart);
  const CVec refUser = reference_chain(chips, 3, designed, 2);
  const CVec refDesigned = reference_chain(chips, 3, tarvio::GenFilterCoeffs(2, 6, 0.5, 3, {}), 2);
  ASSERT_EQ(a.waveform.size(), refDesigned.size());
  for (size_t i = 0; i < refUser.size(); ++i) {
    ASSERT_NEAR(std::abs(b.waveform[i] - refUser[i]), 0, 1e-9) << i;
    ASSERT_NEAR(std::abs(a.waveform[i] - refDesigned[i]), 0, 1e-9) << i;
  }
}

TEST(Dot11bFrame, LinearRampIsOneBarkerPeriodEachSide) {
  // User filter with a single tap: the chips appear unchanged at every 4th
  // sample, the samples between them hold minus the mean.
  const Bits bits = pattern_bits(4);
  const tarvio::Frame f = tarvio::Dot11b_FRAME(bits, 1, 0, 0, 0, 0, 0, 1, 0, 1, 44, 4, 4, 0, 4, 0, {1.0});
  const size_t chips = 11 + 192 * 11 + 32 * 11 + 11;
  ASSERT_EQ(f.waveform.size(), 4 * chips);
  auto chip = [&](size_t k) { return f.waveform[4 * k] - f.waveform[4 * k + 1]; };
  const double barker[11] = {1, -1, 1, 1, -1, 1, 1, 1, -1, -1, -1};
  const cplx first = chip(11), last = chip(chips - 12);
  EXPECT_NEAR(std::abs(first - (-kStart)), 0, 1e-12);  // first SYNC bit 1 turns the start phase
  for (size_t k = 0; k < 11; ++k) {
    EXPECT_NEAR(std::abs(chip(k) - barker[k] * first * ((k + 1) / 11.0)), 0, 1e-12) << k;
    EXPECT_NEAR(std::abs(chip(chips - 11 + k) - barker[k] * last * ((11 - k) / 11.0)), 0, 1e-12) << k;
  }
  for (size_t i = 0; i < 4 * chips; ++i) EXPECT_EQ(f.markers.row1[i], (i >= 44 && i < 4 * chips - 44) ? 1 : 0);
}

TEST(Dot11bFrame, SectionsPhasesAndMirror) {
  const Bits bits(8, 0);
  // Short preamble: 72 bits at 1 Mbit/s and the header at 2 Mbit/s.
  const tarvio::Frame shortF = tarvio::Dot11b_FRAME(bits, 2, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 4, 0, 1, 0, {1.0});
  EXPECT_EQ(shortF.waveform.size(), 792u + 264u + 44u);
  // Unframed: the payload starts from (1+j)/sqrt2; no idle interval.
  const tarvio::Frame un =
      tarvio::Dot11b_FRAME(Bits{1, 0, 0, 0, 0, 0, 0, 0}, 1, 0, 0, 0, 0, 0, 0, 50, 1, 44, 1, 4, 0, 1, 0, {1.0});
  ASSERT_EQ(un.waveform.size(), 88u);
  // First bit 1: the first symbol is -(1+j)/sqrt2; chips 0 and 1 differ by
  // twice the symbol (Barker +1, -1); the mean cancels in the difference.
  EXPECT_NEAR(std::abs((un.waveform[0] - un.waveform[1]) - 2.0 * -kStart), 0, 1e-12);
  // PBCC continues from the last header chip, not from the last header symbol.
  const tarvio::Frame pb = tarvio::Dot11b_FRAME(bits, 11, 1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 4, 0, 1, 0, {1.0});
  ASSERT_EQ(pb.waveform.size(), 2112u + 4u);
  EXPECT_NEAR(std::abs(pb.waveform[2112] - pb.waveform[2111]), 0, 1e-12);
  // Mirroring conjugates every sample.
  const Bits b2 = pattern_bits(9);
  const RVec h = tarvio::GenFilterCoeffs(2, 6, 0.5, 2, {});
  const tarvio::Frame plain = tarvio::Dot11b_FRAME(b2, 11, 0, 0, 0, 1, 0, 1, 30, 0, 0, 2, 2, 0.5, 12, 0, h);
  const tarvio::Frame mirrored = tarvio::Dot11b_FRAME(b2, 11, 0, 0, 0, 1, 0, 1, 30, 0, 0, 2, 2, 0.5, 12, 1, h);
  ASSERT_EQ(plain.waveform.size(), mirrored.waveform.size());
  for (size_t i = 0; i < plain.waveform.size(); ++i) EXPECT_EQ(mirrored.waveform[i], std::conj(plain.waveform[i]));
}

TEST(Dot11bFrame, RejectedSettingsSayWhatIsAllowed) {
  const Bits bits(80, 0);
  auto run = [&](double rate, double pre, double scr, double os, double ft, double rt) {
    tarvio::Dot11b_FRAME(bits, rate, 0, pre, 0, scr, 0, 1, 0, rt, 8, os, ft, 0, 1, 0, {1.0});
  };
  auto message = [&](auto fn) {
    try {
      fn();
    } catch (const std::invalid_argument& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_NE(message([&] { run(22, 0, 1, 1, 4, 0); }).find("allowed are 1, 2, 5.5 and 11"), std::string::npos);
  EXPECT_NE(message([&] { run(11, 2, 1, 1, 4, 0); }).find("0 (long) and 1 (short)"), std::string::npos);
  EXPECT_NE(message([&] { run(11, 0, 3, 1, 4, 0); }).find("2 (preamble only)"), std::string::npos);
  EXPECT_NE(message([&] { run(11, 0, 1, 1.3, 4, 0); }).find("half-integer"), std::string::npos);
  EXPECT_NE(message([&] { run(11, 0, 1, 1, -1, 0); }).find("filter type"), std::string::npos);
  EXPECT_NE(message([&] { run(11, 0, 1, 1, 4, 3); }).find("ramp type"), std::string::npos);
}

TEST(Dot11bFrame, EmptyPayloadAndCallByName) {
  const tarvio::Frame framed = tarvio::Dot11b_FRAME({}, 11, 0, 1, 0, 1, 0, 1, 3, 2, 8, 2, 4, 0, 2, 0, {1.0});
  EXPECT_EQ(framed.waveform.size(), 2 * (1056u + 2 * 4) + 3 + 1);  // short PLCP, 4-chip ramps, idle, pad
  EXPECT_TRUE(tarvio::Dot11b_FRAME({}, 11, 0, 0, 0, 1, 0, 0, 3, 0, 0, 1, 4, 0, 1, 0, {1.0}).waveform.empty());
  // The registered operation takes the filter from the parameter set.
  tarvio::state().parameters.filterCoeffs = tarvio::GenFilterCoeffs(2, 6, 0.3, 2, {});
  const Bits bits = pattern_bits(5);
  std::vector<tarvio::Value> args = {tarvio::Value::row(bits)};
  for (double v : {5.5, 0.0, 0.0, 1.0, 1.0, 0.0, 1.0, 10.0, 1.0, 4.0, 2.0, 2.0, 0.3, 12.0, 0.0}) args.emplace_back(v);
  const auto out = tarvio::Registry::instance().call("Dot11b_FRAME", args, 2);
  const tarvio::Frame typed = tarvio::Dot11b_FRAME(bits, 5.5, 0, 0, 1, 1, 0, 1, 10, 1, 4, 2, 2, 0.3, 12, 0,
                                                   tarvio::state().parameters.filterCoeffs);
  EXPECT_EQ(out[0].to_complex(), typed.waveform);
  EXPECT_EQ(out[1].to_markers().row1, typed.markers.row1);
  EXPECT_EQ(out[1].to_markers().row2, typed.markers.row2);
}

TEST(Dot11bIdleEntry, ConvertsClampsAndShowsTheTimeUsed) {
  tarvio::Parameters p;
  p.OverSampling = 4;
  EXPECT_EQ(tarvio::Dot11b_txtIdleInterval("10", p), "10");
  EXPECT_EQ(p.idleSamples, 440);
  EXPECT_EQ(tarvio::Dot11b_txtIdleInterval("abc", p), "0");
  EXPECT_EQ(p.idleSamples, 0);
  tarvio::Dot11b_txtIdleInterval("-5", p);
  EXPECT_EQ(p.idleSamples, 0);
  tarvio::Dot11b_txtIdleInterval(" 1e9 ", p);
  EXPECT_EQ(p.idleSamples, 4400000);
  p.OverSampling = 2;
  const std::string shown = tarvio::Dot11b_txtIdleInterval("3.3", p);  // 72.6 samples -> 73
  EXPECT_EQ(p.idleSamples, 73);
  // 73 / 22 = 3.31818..., shown with the entry fields' five significant digits.
  EXPECT_EQ(shown, "3.3182");
}

}  // namespace
