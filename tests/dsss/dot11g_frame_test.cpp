// The ERP-PBCC burst: lengths and marker rows over the parameter space, the
// sample structure around the change of symbol clock, the phase references,
// the unscrambled clock-switch bits, filter taps matched to the samples per
// symbol (decoding of the 33 Mbit/s payload), and the refused inputs.
#include "dsss/dot11g_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <string>

#include "dsp/filter_design.h"
#include "dsss/clk_struct.h"
#include "dsss/dot11g_filter.h"
#include "dsss/dot11g_pbcc.h"
#include "dsss/dot11g_size_est.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

const double z = 1 / std::sqrt(2.0);
const double kBarker[11] = {+1, -1, +1, +1, -1, +1, +1, +1, -1, -1, -1};

Bits random_bits(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bits b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng() & 1u);
  return b;
}

struct BurstSetup {
  Bits bits = random_bits(160, 5);
  double clkStruct = kDefaultClkStruct;
  double rate = 33;
  double preamble = 0;
  double locked = 0;
  double scrambler = 1;
  double encoder = 1;
  double framed = 1;
  double idle = 0;
  double rampType = 0;
  double rampLength = 0;
  double os = 3;
  double filterType = 2;
  double factor = 0.5;
  double filterTaps = 8;  // symbols
  double mirror = 0;
  RVec userTaps;  // for filterType 4
};

// As the calculation driver does: taps designed for OverSampling samples
// per chip, FilterTaps * OverSampling of them.
Frame make(const BurstSetup& s) {
  const RVec coeffs = s.filterType == 4 ? s.userTaps : GenFilterCoeffs(s.filterType, s.filterTaps, s.factor, s.os, {});
  return Dot11g_FRAME(s.bits, s.clkStruct, s.rate, 1, s.preamble, s.locked, s.scrambler, s.encoder, s.framed, s.idle,
                      s.rampType, s.rampLength, s.os, s.filterType, s.factor, s.filterTaps * s.os, s.mirror, coeffs);
}

// Expected layout of a burst, worked out from the frame's structure.
struct Layout {
  size_t ramp = 0;        // chips of each ramp
  size_t switchChip = 0;  // chips at the 11 MHz clock (33 Mbit/s framed), 0 otherwise
  size_t chips = 0;       // all chips including ramps
  size_t spc = 0;         // samples per chip before the switch (after doubling)
  size_t decimate = 1;
  size_t M = 0;      // burst samples
  size_t total = 0;  // with idle and pad
  size_t markerRamp = 0;
};

Layout layout(const BurstSetup& s) {
  Layout l;
  const bool framed = s.framed == 1, r33 = s.rate == 33;
  const size_t N = s.bits.size();
  const size_t pre = framed ? (s.preamble == 0 ? 144 * 11 : 72 * 11) : 0;
  const size_t hdr = framed ? (s.preamble == 0 ? 48 * 11 : 24 * 11) : 0;
  const size_t cs = framed && r33 ? 165 : 0;
  const size_t pay = s.encoder == 1 ? (N + N % 2 + 8) / 2 : (N + 2) / 3;
  const double osRate = r33 && !framed ? s.os * 2 / 3 : s.os;
  if (framed && s.rampType > 0) l.ramp = static_cast<size_t>(round_half_away(s.rampLength / osRate));
  l.chips = 2 * l.ramp + pre + hdr + cs + pay;
  if (osRate == std::floor(osRate)) {
    l.spc = static_cast<size_t>(osRate);
  } else {
    l.spc = static_cast<size_t>(2 * osRate);
    l.decimate = 2;
  }
  size_t up = l.chips * l.spc;
  if (framed && r33) {
    l.switchChip = l.ramp + pre + hdr + 33;
    up = l.switchChip * l.spc + (l.chips - l.switchChip) * l.spc * 2 / 3;
  }
  l.M = (up + l.decimate - 1) / l.decimate;
  const size_t idle = framed ? static_cast<size_t>(s.idle) : 0;
  l.total = l.M + idle + (l.M + idle) % 2;
  l.markerRamp = l.ramp > 0 ? static_cast<size_t>(s.rampLength) : 0;
  return l;
}

void expect_markers(const Frame& f, const Layout& l, const std::string& what) {
  ASSERT_EQ(f.markers.row1.size(), l.total) << what;
  ASSERT_EQ(f.markers.row2.size(), l.total) << what;
  for (size_t i = 0; i < l.total; ++i) {
    const bool in = i < l.M;
    ASSERT_EQ(f.markers.row2[i], in ? 1 : 0) << what << " row 2 at " << i;
    ASSERT_EQ(f.markers.row1[i], in && i >= l.markerRamp && i < l.M - l.markerRamp ? 1 : 0)
        << what << " row 1 at " << i;
  }
  for (size_t i = l.M; i < l.total; ++i) ASSERT_EQ(f.waveform[i], cplx(0, 0)) << what << " idle/pad at " << i;
}

// Length and marker rows over rate x OverSampling, looping over preamble,
// scrambler, encoder, ramp, filter type and framing inside.
struct RateOs {
  double rate, os;
};
class Dot11gFrameShape : public ::testing::TestWithParam<RateOs> {};

TEST_P(Dot11gFrameShape, LengthAndMarkers) {
  const RateOs p = GetParam();
  int n = 0;
  for (double framed : {1.0, 0.0})
    for (double pre : {0.0, 1.0})
      for (double scr : {0.0, 1.0, 2.0})
        for (double enc : {0.0, 1.0})
          for (double ramp : {0.0, 1.0, 2.0})
            for (double ft : {0.0, 1.0, 2.0, 3.0}) {
              BurstSetup s;
              s.rate = p.rate;
              s.os = p.os;
              s.framed = framed;
              s.preamble = pre;
              s.scrambler = scr;
              s.encoder = enc;
              s.rampType = ramp;
              s.rampLength = ramp > 0 ? (n % 2 ? 44 : 17) : 0;
              s.filterType = ft;
              s.factor = ft == 1 ? 0.3 : 0.35;
              s.idle = double((n * 37) % 101);
              s.bits = random_bits(8 * (1 + n % 9), 100 + n);
              s.mirror = n % 2;
              ++n;
              const std::string what =
                  "rate " + std::to_string(p.rate) + " os " + std::to_string(p.os) + " case " + std::to_string(n);
              const Frame f = make(s);
              const Layout l = layout(s);
              ASSERT_EQ(f.waveform.size(), l.total) << what;
              expect_markers(f, l, what);
            }
}
INSTANTIATE_TEST_SUITE_P(Erp, Dot11gFrameShape,
                         ::testing::Values(RateOs{22, 1}, RateOs{22, 1.5}, RateOs{22, 2}, RateOs{22, 4}, RateOs{22, 9},
                                           RateOs{33, 1.5}, RateOs{33, 3}, RateOs{33, 4.5}, RateOs{33, 6},
                                           RateOs{33, 9}));

// The projected length equals the burst where the estimate's rule is exact:
// encoder off (the estimate does not count the tail), whole chip counts per
// sample, ramps of whole chips, and at 33 Mbit/s the long preamble (the
// estimate halves the clock-switch section for the short one).
TEST(Dot11gFrameSize, MatchesTheProjectedLengthWhereItsRuleIsExact) {
  int n = 0;
  for (double rate : {22.0, 33.0})
    for (double os : {3.0, 6.0, 9.0})
      for (double framed : {1.0, 0.0})
        for (double pre : {0.0, 1.0})
          for (double ramp : {0.0, 1.0}) {
            if (rate == 33 && pre == 1 && framed == 1) continue;
            BurstSetup s;
            s.rate = rate;
            s.os = os;
            s.framed = framed;
            s.preamble = pre;
            s.encoder = 0;
            s.rampType = ramp;
            s.rampLength = ramp > 0 ? 2 * os * 3 : 0;
            s.idle = double(n % 3);
            s.bits = random_bits(8 * (3 + n), 7 + n);
            ++n;
            const double est =
                Dot11g_PBCC_SizeEst(framed, double(s.bits.size()), rate, 1, 0, pre, s.idle, ramp, s.rampLength, os);
            EXPECT_EQ(double(make(s).waveform.size()), est)
                << rate << " Mbit/s os " << os << " framed " << framed << " pre " << pre << " ramp " << ramp;
          }
}

// Splits a burst filtered with the unit impulse back into its chips. With
// filter type 0 and a filter one symbol long, each row holds each chip once
// (advanced by floor(spc/2) samples by the centring rotation) and the same
// constant (minus the row's mean) everywhere else.
struct Unfiltered {
  CVec chips;
  bool structureOk = true;
  std::string why;
};

Unfiltered recover_chips(const Frame& f, const Layout& l, bool r33framed) {
  Unfiltered u;
  u.chips.assign(l.chips, cplx(0, 0));
  std::vector<int> have(l.chips, 0);
  const size_t spcA = l.spc, rA = spcA / 2;
  const size_t spcB = r33framed ? l.spc * 2 / 3 : l.spc, rB = spcB / 2;
  const size_t endA = r33framed ? l.switchChip * spcA : l.M;
  const size_t startB = l.switchChip * spcB;
  const size_t NA = l.chips * spcA, NB = l.chips * spcB;
  // Background of each row: a sample that is no chip.
  auto chip_of = [&](size_t n, size_t& k) {
    size_t t, spc, N;
    if (n < endA) {
      t = n + rA, spc = spcA, N = NA;
    } else {
      t = n - endA + startB + rB, spc = spcB, N = NB;
    }
    t %= N;
    if (t % spc != 0) return false;
    k = t / spc;
    return true;
  };
  cplx bgA = 0, bgB = 0;
  bool seenA = false, seenB = false;
  for (size_t n = 0; n < l.M; ++n) {
    size_t k;
    if (chip_of(n, k)) continue;
    cplx& bg = n < endA ? bgA : bgB;
    bool& seen = n < endA ? seenA : seenB;
    if (!seen) {
      bg = f.waveform[n];
      seen = true;
    } else if (std::abs(f.waveform[n] - bg) > 1e-9) {
      u.structureOk = false;
      u.why = "non-chip sample " + std::to_string(n) + " differs from its row's background";
      return u;
    }
  }
  for (size_t n = 0; n < l.M; ++n) {
    size_t k;
    if (!chip_of(n, k)) continue;
    u.chips[k] = f.waveform[n] - (n < endA ? bgA : bgB);
    have[k] = 1;
  }
  return u;
}

TEST(Dot11gFrameClockSwitch, SamplesPerChipChangeAfterTheTail) {
  // Long preamble, OverSampling 3: 144*11 + 48*11 + 33 = 2145 chips (6435
  // samples) at 3 per chip, then 2 per chip; short preamble: 792 + 264 + 33.
  for (double pre : {0.0, 1.0})
    for (double rampLength : {0.0, 12.0}) {
      BurstSetup s;
      s.preamble = pre;
      s.filterType = 0;
      s.filterTaps = 1;
      s.rampType = rampLength > 0 ? 1 : 0;
      s.rampLength = rampLength;
      const Layout l = layout(s);
      EXPECT_EQ(l.switchChip, (pre == 0 ? 2145u : 1089u) + (rampLength > 0 ? 4u : 0u));
      const Frame f = make(s);
      ASSERT_EQ(f.waveform.size(), l.total);
      const Unfiltered u = recover_chips(f, l, true);
      ASSERT_TRUE(u.structureOk) << u.why;
      // Every chip outside the ramps has magnitude 1.
      for (size_t k = l.ramp; k + l.ramp < l.chips; ++k) ASSERT_NEAR(std::abs(u.chips[k]), 1, 1e-9) << k;
      if (rampLength > 0) {
        // Ramp-up at 3 samples per chip, ramp-down at 2: Barker times the
        // first (last) chip, times k/4 (reversed at the end).
        const cplx first = u.chips[l.ramp], last = u.chips[l.chips - l.ramp - 1];
        for (size_t k = 0; k < 4; ++k) {
          EXPECT_NEAR(std::abs(u.chips[k] - kBarker[k] * first * ((k + 1) / 4.0)), 0, 1e-9) << k;
          EXPECT_NEAR(std::abs(u.chips[l.chips - 4 + k] - kBarker[k] * last * ((4 - k) / 4.0)), 0, 1e-9) << k;
        }
      }
      // The burst fails the structure test when the splice is one chip off.
      Layout shifted = l;
      shifted.switchChip += 1;
      EXPECT_FALSE(recover_chips(f, shifted, true).structureOk);
    }
}

// Decodes the clock-switch bits (DBPSK relative to the last header chip)
// and checks the payload against its modulator with the stated reference.
TEST(Dot11gFrameClockSwitch, BitsUnscrambledAndPhaseReferences) {
  for (double clk : {kDefaultClkStruct, double(0x2AB5)})
    for (double scr : {0.0, 1.0})
      for (double pre : {0.0, 1.0}) {
        BurstSetup s;
        s.clkStruct = clk;
        s.scrambler = scr;
        s.preamble = pre;
        s.filterType = 0;
        s.filterTaps = 1;
        const Layout l = layout(s);
        const Unfiltered u = recover_chips(make(s), l, true);
        ASSERT_TRUE(u.structureOk) << u.why;
        const size_t hdrEnd = l.switchChip - 33;
        cplx prev = u.chips[hdrEnd - 1];  // last header chip
        const Bits want = clk_struct_bits(clk);
        for (size_t b = 0; b < 15; ++b) {
          const cplx sym = u.chips[hdrEnd + 11 * b];  // first Barker chip is +1
          for (size_t c = 0; c < 11; ++c)
            ASSERT_NEAR(std::abs(u.chips[hdrEnd + 11 * b + c] - sym * kBarker[c]), 0, 1e-9);
          EXPECT_EQ(std::real(sym / prev) < 0 ? 1 : 0, want[b]) << "clock-switch bit " << b;
          prev = sym;
        }
        if (scr == 0) {
          const cplx ref = u.chips[hdrEnd + 164];  // last clock-switch chip
          const CVec pay = Dot11g_PBCC(s.bits, 33, 1, ref);
          ASSERT_EQ(pay.size(), l.chips - hdrEnd - 165);
          for (size_t k = 0; k < pay.size(); ++k) ASSERT_NEAR(std::abs(u.chips[hdrEnd + 165 + k] - pay[k]), 0, 1e-9);
        }
      }
}

TEST(Dot11gFrame, TwentyTwoHasNoSwitchAndTakesTheLastHeaderChip) {
  for (double pre : {0.0, 1.0}) {
    BurstSetup s;
    s.rate = 22;
    s.os = 2;
    s.preamble = pre;
    s.scrambler = 0;
    s.filterType = 0;
    s.filterTaps = 1;
    const Layout l = layout(s);
    EXPECT_EQ(l.M, l.chips * 2);
    const Unfiltered u = recover_chips(make(s), l, false);
    ASSERT_TRUE(u.structureOk) << u.why;
    const size_t hdrEnd = pre == 0 ? 192 * 11 : 96 * 11;
    // The scrambler is off and the long SYNC is all ones: the first symbol is
    // -(1+j)/sqrt2, spread by the Barker sequence.
    if (pre == 0) {
      for (size_t c = 0; c < 11; ++c) EXPECT_NEAR(std::abs(u.chips[c] + cplx(z, z) * kBarker[c]), 0, 1e-9);
    }
    const CVec pay = Dot11g_PBCC(s.bits, 22, 1, u.chips[hdrEnd - 1]);
    ASSERT_EQ(pay.size(), l.chips - hdrEnd);
    for (size_t k = 0; k < pay.size(); ++k) ASSERT_NEAR(std::abs(u.chips[hdrEnd + k] - pay[k]), 0, 1e-9) << k;
  }
}

TEST(Dot11gFrame, UnframedThirtyThreeRunsAtThePostSwitchClock) {
  BurstSetup s;
  s.framed = 0;
  s.os = 3;
  s.scrambler = 0;
  s.filterType = 0;
  s.filterTaps = 1;
  s.idle = 50;  // ignored unframed
  const Layout l = layout(s);
  const Frame f = make(s);
  ASSERT_EQ(f.waveform.size(), l.total);
  EXPECT_EQ(l.M, 2 * ((160 + 8) / 2));
  const Unfiltered u = recover_chips(f, l, false);
  ASSERT_TRUE(u.structureOk) << u.why;
  const CVec pay = Dot11g_PBCC(s.bits, 33, 1, cplx(z, z));
  for (size_t k = 0; k < pay.size(); ++k) ASSERT_NEAR(std::abs(u.chips[k] - pay[k]), 0, 1e-9) << k;
}

// Filter taps designed for the rate at which they are applied: unframed,
// 33 Mbit/s at OverSampling 6 runs at 4 samples per symbol and equals
// unframed 22 Mbit/s at OverSampling 4 (the rate changes nothing else there).
TEST(Dot11gFrameFilter, PostSwitchTapsMatchFourSamplesPerSymbol) {
  for (double ft : {1.0, 2.0, 3.0}) {
    BurstSetup a;
    a.framed = 0;
    a.filterType = ft;
    a.os = 6;
    BurstSetup b = a;
    b.rate = 22;
    b.os = 4;
    const Frame fa = make(a), fb = make(b);
    ASSERT_EQ(fa.waveform.size(), fb.waveform.size());
    for (size_t i = 0; i < fa.waveform.size(); ++i) ASSERT_NEAR(std::abs(fa.waveform[i] - fb.waveform[i]), 0, 1e-9);
  }
}

// Half-integer OverSampling: filtered at twice the rate with taps designed
// for it, then every second sample kept, so it equals the burst at twice the
// OverSampling decimated by 2.
TEST(Dot11gFrameFilter, HalfIntegerOversamplingIsTheDoubleRateDecimated) {
  for (double rate : {22.0, 33.0})
    for (double ft : {1.0, 2.0, 3.0}) {
      BurstSetup h;
      h.rate = rate;
      h.filterType = ft;
      h.os = 1.5;
      h.rampType = 2;
      h.rampLength = 6;  // 4 chips at 1.5 as at 3 with 12
      BurstSetup d = h;
      d.os = 3;
      d.rampLength = 12;
      const Frame fh = make(h), fd = make(d);
      const size_t M = layout(h).M;
      ASSERT_EQ(M, (layout(d).M + 1) / 2);
      for (size_t i = 0; i < M; ++i)
        ASSERT_NEAR(std::abs(fh.waveform[i] - fd.waveform[2 * i]), 0, 1e-9) << rate << " " << ft << " " << i;
    }
}

// A user filter keeps its taps at every rate.
TEST(Dot11gFrameFilter, UserTapsAreKept) {
  BurstSetup a;
  a.framed = 0;
  a.os = 6;
  a.filterType = 4;
  a.userTaps = {0.1, 0.5, 1.0, 0.5, 0.1};
  BurstSetup b = a;
  b.rate = 22;
  b.os = 4;
  const Frame fa = make(a), fb = make(b);
  ASSERT_EQ(fa.waveform.size(), fb.waveform.size());
  for (size_t i = 0; i < fa.waveform.size(); ++i) ASSERT_NEAR(std::abs(fa.waveform[i] - fb.waveform[i]), 0, 1e-12);
}

// Matched filtering of the post-switch section with the receiver's own
// root-raised-cosine taps at 4 (6) samples per 16.5 MHz symbol, sampled at
// the symbol instants: returns the number of 8PSK payload symbols that decide
// to a point other than the transmitted one (the transmitted symbols are the
// modulator's output up to the sign of the phase reference, +-(1+j)/sqrt2).
size_t wrong_decisions(const BurstSetup& s, double* worstError) {
  const Frame f = make(s);
  const Layout l = layout(s);
  const size_t spcA = l.spc, spcB = l.spc * 2 / 3;
  const RVec h = GenFilterCoeffs(2, s.filterTaps, s.factor, double(spcB), {});
  const size_t L = h.size(), c = L / 2;
  const size_t endA = l.switchChip * spcA, startB = l.switchChip * spcB;
  const size_t payStart = l.switchChip + 132;
  const CVec pay = Dot11g_PBCC(s.bits, 33, s.encoder, cplx(z, z));
  // Transmitter and receiver each centre the pulse by floor(L/2); for an even
  // tap count the pair advances the peak by one sample.
  const long adv = long(2 * c) - long(L - 1);
  size_t wrongPlus = 0, wrongMinus = 0;
  double worstPlus = 0, worstMinus = 0;
  for (size_t k = 0; k < pay.size(); ++k) {
    const long p = long((payStart + k) * spcB) - long(startB) + long(endA) - adv;
    cplx r = 0;
    for (size_t i = 0; i < L; ++i) {
      const long idx = p + long(c) - long(i);
      if (idx >= 0 && idx < long(l.M)) r += h[i] * f.waveform[size_t(idx)];
    }
    const double ep = std::abs(std::arg(r / pay[k])), em = std::abs(std::arg(-r / pay[k]));
    wrongPlus += ep >= M_PI / 8;
    wrongMinus += em >= M_PI / 8;
    worstPlus = std::max(worstPlus, ep);
    worstMinus = std::max(worstMinus, em);
  }
  if (worstError) *worstError = wrongPlus <= wrongMinus ? worstPlus : worstMinus;
  return std::min(wrongPlus, wrongMinus);
}

TEST(Dot11gFrameFilter, ThirtyThreePayloadDecodesAfterMatchedFiltering) {
  for (double os : {6.0, 9.0})
    for (double pre : {0.0, 1.0}) {
      BurstSetup s;
      s.os = os;
      s.preamble = pre;
      s.scrambler = 0;
      s.filterType = 2;
      s.factor = 0.35;
      s.filterTaps = 12;
      s.bits = random_bits(8 * 200, 21);
      double worst = 0;
      EXPECT_EQ(wrong_decisions(s, &worst), 0u) << "OverSampling " << os;
      EXPECT_LT(worst, M_PI / 16) << "OverSampling " << os;
    }
}

TEST(Dot11gFrameFilter, DecodingCheckCatchesTapsOfTheWrongRate) {
  // The root-raised-cosine taps for 6 samples per chip given as user taps
  // stay in use after the switch, where a symbol has 4 samples: the pulse is
  // 1.5 times too long and many symbols no longer decide correctly.
  BurstSetup s;
  s.os = 6;
  s.scrambler = 0;
  s.filterType = 4;
  s.factor = 0.35;
  s.filterTaps = 12;
  s.userTaps = GenFilterCoeffs(2, 12, 0.35, 6, {});
  s.bits = random_bits(8 * 200, 21);
  EXPECT_GT(wrong_decisions(s, nullptr), (s.bits.size() + 8) / 2 / 20);
}

TEST(Dot11gFrame, ThirtyThreeOversamplingMustBeAMultipleOfOneAndAHalf) {
  for (double os : {1.0, 2.0, 4.0, 5.0, 0.75}) {
    BurstSetup s;
    s.os = os;
    for (double framed : {1.0, 0.0}) {
      s.framed = framed;
      try {
        make(s);
        FAIL() << "OverSampling " << os << " accepted";
      } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("multiple of 1.5"), std::string::npos) << e.what();
      }
    }
  }
}

TEST(Dot11gFrame, UnsupportedInputsAreRefused) {
  auto refused = [](BurstSetup s, const char* needle) {
    try {
      make(s);
      return std::string("accepted");
    } catch (const std::invalid_argument& e) {
      return std::string(e.what()).find(needle) != std::string::npos ? std::string() : std::string(e.what());
    }
  };
  BurstSetup s;
  for (double r : {1.0, 5.5, 11.0, 54.0}) {
    s.rate = r;
    EXPECT_EQ(refused(s, "22 and 33"), "") << r;
  }
  s = BurstSetup{};
  s.preamble = 2;
  EXPECT_EQ(refused(s, "preamble type"), "");
  s.framed = 0;
  s.scrambler = 0;
  EXPECT_EQ(refused(s, "preamble type"), "") << "checked in unframed mode too";
  s = BurstSetup{};
  s.scrambler = 3;
  EXPECT_EQ(refused(s, "scrambler mode"), "");
  s = BurstSetup{};
  s.framed = 2;
  EXPECT_EQ(refused(s, "generationMode"), "");
  s = BurstSetup{};
  s.clkStruct = 40000;
  EXPECT_EQ(refused(s, "32767"), "");
  s = BurstSetup{};
  s.filterType = -1;
  EXPECT_NE(refused(s, ""), "accepted");
}

TEST(Dot11gFrame, MirrorConjugatesAndEmptyPayloadKeepsTheFrame) {
  BurstSetup s;
  s.idle = 11;
  BurstSetup m = s;
  m.mirror = 1;
  const Frame a = make(s), b = make(m);
  ASSERT_EQ(a.waveform.size(), b.waveform.size());
  for (size_t i = 0; i < a.waveform.size(); ++i) ASSERT_EQ(b.waveform[i], std::conj(a.waveform[i]));
  s.bits.clear();
  s.encoder = 0;
  const Frame e = make(s);
  EXPECT_EQ(e.waveform.size(), layout(s).total);
  s.framed = 0;
  EXPECT_TRUE(make(s).waveform.empty());
}

TEST(Dot11gFrame, RegisteredFormReadsTheProgramWideTaps) {
  const Registry& reg = Registry::instance();
  const OpInfo* op = reg.find("Dot11g_FRAME");
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(op->max_in, 17);
  EXPECT_EQ(op->max_out, 2);
  BurstSetup s;
  state().parameters.filterCoeffs = GenFilterCoeffs(s.filterType, s.filterTaps, s.factor, s.os, {});
  Args in = {Value::row(s.bits),
             s.clkStruct,
             s.rate,
             1.0,
             s.preamble,
             s.locked,
             s.scrambler,
             s.encoder,
             s.framed,
             s.idle,
             s.rampType,
             s.rampLength,
             s.os,
             s.filterType,
             s.factor,
             s.filterTaps * s.os,
             s.mirror};
  const auto out = reg.call("Dot11g_FRAME", in, 2);
  const Frame f = make(s);
  EXPECT_EQ(out[0].to_complex(), f.waveform);
  const Markers mk = out[1].to_markers();
  EXPECT_EQ(mk.row1, f.markers.row1);
  EXPECT_EQ(mk.row2, f.markers.row2);
}

TEST(Dot11gFilter, CircularCentredAndMeanFree) {
  // Taps 0 0 1 (L = 3): y[n] = x[n + 1 - 2] = x[n - 1] circularly, then the
  // mean 2.5 removed.
  const CVec y = Dot11g_filter(3, 1, 0, 3, {1, 2, 3, 4}, {0, 0, 1});
  const CVec want = {1.5, -1.5, -0.5, 0.5};
  ASSERT_EQ(y.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(std::abs(y[i] - want[i]), 0, 1e-12) << i;
  EXPECT_THROW(Dot11g_filter(-1, 1, 0, 3, {1, 2}, {1}), std::invalid_argument);
  const OpInfo* op = Registry::instance().find("Dot11g_filter");
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(op->max_in, 5);
  state().parameters.filterCoeffs = {0, 0, 1};
  const auto out =
      Registry::instance().call("Dot11g_filter", {3.0, 1.0, 0.0, 3.0, Value::complex_row({1, 2, 3, 4})}, 1);
  EXPECT_EQ(out[0].to_complex().size(), 4u);
  EXPECT_NEAR(std::abs(out[0].to_complex()[0] - cplx(1.5, 0)), 0, 1e-12);
}

}  // namespace
}  // namespace tarvio
