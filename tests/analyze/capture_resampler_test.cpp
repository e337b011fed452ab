// The capture resampler against exact tones: a tone inside the lower
// rate's band comes out as the same tone (gain, phase and images in one
// error figure); one beyond it is suppressed rather than aliased into the
// band; the frequency shift brings a tone at the offset to DC with the
// capture's phase, whichever sample a burst starts at.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analyze/capture_resampler.h"

namespace tarvio::analyze {
namespace {

CVec tone(double f, double fs, size_t n, size_t first = 0) {
  CVec x(n);
  for (size_t k = 0; k < n; ++k) x[k] = std::polar(1.0, 2 * std::numbers::pi * f * static_cast<double>(first + k) / fs);
  return x;
}

TEST(CaptureResampler, KeepsTheBandAndSuppressesWhatLiesBeyond) {
  struct Case {
    double in, out, f;
    bool inBand;
    double limitDb;  // error (in band) or leftover (beyond) relative to the tone
  };
  const Case cases[] = {
      {30.72e6, 20e6, 8.3e6, true, -60},  {25e6, 20e6, -8.3e6, true, -60}, {61.44e6, 60e6, 20e6, true, -60},
      {11e6, 12e6, 4e6, true, -60},       {30.72e6, 20e6, 13e6, false, -50}, {100e6, 80e6, -49e6, false, -50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in / 1e6);
    const CaptureResampler r(c.in, c.out);
    CVec y;
    r.run(tone(c.f, c.in, 20000), y);
    ASSERT_NEAR(static_cast<double>(y.size()), 20000 * c.out / c.in, 1.0);
    const CVec want = tone(c.f, c.out, y.size());
    double err = 0, pow = 0;
    for (size_t k = 200; k + 200 < y.size(); ++k) {  // away from the ends, where the kernel runs off the row
      err += std::norm(c.inBand ? y[k] - want[k] : y[k]);
      pow += 1;
    }
    EXPECT_LT(10 * std::log10(err / pow), c.limitDb);
  }
}

TEST(CaptureResampler, ShiftKeepsOnePhaseAcrossBursts) {
  const double fs = 40e6, f = 3.3e6;
  for (size_t first : {size_t(0), size_t(12345), size_t(987654321)}) {
    CVec x = tone(f, fs, 4000, first);
    shift_frequency(x, f, fs, first);
    for (size_t k = 0; k < x.size(); k += 499) EXPECT_NEAR(std::abs(x[k] - cplx(1, 0)), 0, 1e-6) << first << " " << k;
  }
}

}  // namespace
}  // namespace tarvio::analyze
