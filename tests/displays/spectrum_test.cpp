// The magnitude spectrum: every bin at its own frequency for odd and even
// lengths, the rule for exactly-zero bins, the axis rounding, the -100 dB
// floor, and the figure around it.
#include "displays/spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarvio {
namespace {

CVec tone(size_t n, long bin) {
  CVec x(n);
  for (size_t k = 0; k < n; ++k) x[k] = std::polar(1.0, 2 * std::numbers::pi * double(bin) * double(k) / double(n));
  return x;
}

TEST(MagnitudeSpectrum, EachBinSitsAtItsFrequencyForOddAndEvenLengths) {
  const double fs = 8000;
  for (size_t n : {7u, 8u, 9u, 10u}) {
    const long lowest = -long(n / 2), highest = long((n + 1) / 2) - 1;
    for (long bin : {0L, 1L, -1L, lowest, highest}) {
      const Spectrum s = magnitude_spectrum(tone(n, bin), fs);
      ASSERT_EQ(s.level_db.size(), n);
      EXPECT_DOUBLE_EQ(s.df_hz, fs / double(n));
      EXPECT_DOUBLE_EQ(s.f0_hz, double(lowest) * fs / double(n));
      const size_t peak = size_t(std::max_element(s.level_db.begin(), s.level_db.end()) - s.level_db.begin());
      EXPECT_NEAR(s.f0_hz + double(peak) * s.df_hz, double(bin) * fs / double(n), 1e-9) << "N " << n << " bin " << bin;
      EXPECT_EQ(s.level_db[peak], 0);
    }
  }
}

TEST(MagnitudeSpectrum, ZeroBinsGetTheSmallOffsetAndTheAxisStopsAt100dB) {
  // A constant has one non-zero bin: the others become 1e-20 of the peak,
  // -200 dB, and the axis ends at -100 dB.
  const Spectrum s = magnitude_spectrum(CVec(4, cplx(1, 0)), 1);
  EXPECT_EQ(s.level_db[2], 0);  // zero frequency in the middle of four
  for (size_t i : {0u, 1u, 3u}) EXPECT_NEAR(s.level_db[i], -200, 1e-9);
  EXPECT_EQ(s.axis_db, (Limits{-100, 0}));
}

TEST(MagnitudeSpectrum, AxisRoundsOutToTenDecibels) {
  struct Case {
    CVec x;
    Limits axis;
  } cases[] = {
      {{cplx(1, 0), cplx(0.5, 0)}, {-10, 0}},   // bins 1.5 and 0.5: 0 and -9.54 dB
      {{cplx(1, 0), cplx(0.98, 0)}, {-40, 0}},  // bins 1.98 and 0.02: -39.9 dB
      {CVec(6), {-10, 0}},                      // all zero: flat at 0 dB, the axis keeps a length
      {{cplx(0, 1)}, {-10, 0}},                 // one sample: flat as well
  };
  for (const Case& c : cases) EXPECT_EQ(magnitude_spectrum(c.x, 1).axis_db, c.axis) << c.x.size();
}

TEST(MagnitudeSpectrum, RefusesWhatItCannotShow) {
  EXPECT_THROW(magnitude_spectrum({}, 1), std::invalid_argument);
  EXPECT_THROW(magnitude_spectrum(CVec{cplx(1, 0)}, 0), std::invalid_argument);
  EXPECT_THROW(spectrum_figure(CVec{cplx(NAN, 0)}, 1, ""), std::invalid_argument);
}

TEST(MagnitudeSpectrum, LongWaveformsReadInPlaceFromEitherLayout) {
  // Long and odd, so the passes run in several pieces; two tones, 20 dB
  // apart, at bins either side of zero.
  const size_t n = (size_t(1) << 18) + 3;
  CVec x = tone(n, 1000);
  const CVec weak = tone(n, -777);
  for (size_t k = 0; k < n; ++k) x[k] += 0.1 * weak[k];
  RVec re(n), im(n);
  for (size_t k = 0; k < n; ++k) re[k] = x[k].real(), im[k] = x[k].imag();
  const Spectrum a = magnitude_spectrum(x, double(n));
  const Spectrum b = magnitude_spectrum(IqView(re.data(), im.data(), n), double(n));
  EXPECT_EQ(a.level_db, b.level_db);
  const size_t zero = n / 2;  // the bin of 0 Hz
  EXPECT_EQ(a.level_db[zero + 1000], 0);
  EXPECT_NEAR(a.level_db[zero - 777], -20, 1e-9);
  EXPECT_LT(*std::max_element(a.level_db.begin(), a.level_db.begin() + zero), -19);
  EXPECT_EQ(a.axis_db.lo, -100);

  // The first sample that is not a number is the one named.
  re[200000] = NAN;
  im[150000] = INFINITY;
  try {
    magnitude_spectrum(IqView(re.data(), im.data(), n), 1);
    ADD_FAILURE() << "no error";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "magnitude spectrum: sample 150001 is not a finite number");
  }
}

TEST(SpectrumFigure, NameLabelsUnitsAndLimits) {
  const Figure f = spectrum_figure(tone(64, 3), 44e6, "WLAN (01JAN2024 10:00:00)");
  EXPECT_EQ(f.name, "Magnitude Spectrum WLAN (01JAN2024 10:00:00)");
  ASSERT_EQ(f.axes.size(), 1u);
  const Axes& a = f.axes[0];
  EXPECT_EQ(a.xlabel, "Frequency (MHz)");
  EXPECT_EQ(a.ylabel, "LogMag (dB)");
  EXPECT_EQ(a.grid, GridStyle::Solid);
  EXPECT_EQ(a.x, (Limits{-22, 22}));
  ASSERT_EQ(a.traces.size(), 1u);
  EXPECT_EQ(a.traces[0].size(), 64u);
  EXPECT_DOUBLE_EQ(a.traces[0].x_at(0), -22);
  EXPECT_DOUBLE_EQ(a.traces[0].x_at(32 + 3), 3 * 44.0 / 64);

  const Figure empty = spectrum_figure({}, 44e6, "t");
  EXPECT_EQ(empty.axes.at(0).note, "No Data");
  EXPECT_TRUE(empty.axes[0].traces.empty());
}

// The averaged spectrum: 512-point Hann segments at 40 MHz (bins of
// 78.125 kHz, RBW 117.2 kHz on the axis), a tone 5 MHz up peaks at its own
// bin at 0 dB, and samples too few for one segment shrink it.
TEST(WelchSpectrum, SegmentsBinsAndResolutionBandwidth) {
  const double fs = 40e6;
  CVec x(20000);
  for (size_t k = 0; k < x.size(); ++k) x[k] = std::polar(3.0, 2 * std::numbers::pi * 5e6 * double(k) / fs);
  const Spectrum s = welch_spectrum(x, fs);
  ASSERT_EQ(s.level_db.size(), 512u);
  EXPECT_DOUBLE_EQ(s.df_hz, fs / 512);
  EXPECT_DOUBLE_EQ(s.rbw_hz, 1.5 * fs / 512);
  const size_t peak = size_t(std::max_element(s.level_db.begin(), s.level_db.end()) - s.level_db.begin());
  EXPECT_DOUBLE_EQ(s.f0_hz + double(peak) * s.df_hz, 5e6);
  EXPECT_EQ(s.level_db[peak], 0);
  EXPECT_LT(s.level_db[peak + 4], -30);  // the Hann window's leakage stays near the tone
  EXPECT_EQ(welch_spectrum(CVec(x.begin(), x.begin() + 300), fs).level_db.size(), 256u);
  const Figure f = welch_spectrum_figure(x, fs, "T");
  EXPECT_EQ(f.axes.at(0).xlabel, "Frequency (MHz)  RBW 117.2 kHz");
  CVec bad = x;
  bad[7] = cplx(NAN, 0);
  EXPECT_THROW(welch_spectrum(bad, fs), std::invalid_argument);
}

}  // namespace
}  // namespace tarvio
