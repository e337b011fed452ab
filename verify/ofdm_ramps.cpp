// OFDM ramp times from the burst's power envelope.
#include "verify/ofdm_ramps.h"

#include <algorithm>
#include <cmath>

namespace tarvio::verify {

RampTimes measure_ofdm_ramps(const cplx* x, size_t n, double fs, size_t start, size_t end) {
  RampTimes r;
  auto samples = [fs](double seconds) { return static_cast<size_t>(std::lround(seconds * fs)); };
  const size_t w = std::max<size_t>(1, samples(0.1e-6));
  const size_t stf = samples(8e-6), symbol = samples(4e-6), margin = samples(2e-6);
  if (!(fs > 0) || end > n || end < start + 2 * stf + symbol) return r;
  // Mean power of x[a..b).
  auto mean = [x](size_t a, size_t b) {
    double s = 0;
    for (size_t k = a; k < b; ++k) s += std::norm(x[k]);
    return s / static_cast<double>(b - a);
  };
  // Power averaged over w samples centred on k (clipped to the row).
  auto power = [&](size_t k) {
    const size_t a = k >= w / 2 ? k - w / 2 : 0, b = std::min(n, a + w);
    return mean(a, b);
  };
  // The levels: of the training field after its first 2 us and of the
  // data (SIGNAL on) before its last 2 us, clear of ramps up to 2 us.
  const double on = mean(start + margin, start + stf);
  const double off = mean(start + 2 * stf, end - margin);
  if (!(on > 0) || !(off > 0) || !std::isfinite(on) || !std::isfinite(off)) return r;

  const size_t a = start > margin ? start - margin : 0, last = std::min(n, end + margin) - 1;
  if (ramp_floor_too_high(x + a, last + 1 - a, samples(1e-6), std::min(on, off))) {
    r.noisy = true;
    return r;
  }
  size_t on10 = a;
  while (on10 < start + stf && power(on10) < 0.1 * on) ++on10;
  size_t on90 = on10;
  while (on90 < start + stf && power(on90) < 0.9 * on) ++on90;
  // The last symbol's final 0.8 us repeat its cyclic prefix 3.2 us
  // earlier, as do the samples after it that continue the symbol: there
  // the ramp is the ratio of the two powers, whatever the data's envelope.
  // Before them (ramps longer than 0.8 us) it is the power against the
  // data's level.
  const size_t period = samples(3.2e-6), tail = end - samples(0.8e-6);
  auto level = [&](size_t k) {
    if (k < tail) return power(k) / off;
    const double ref = power(k - period);
    return ref > 0 ? power(k) / ref : 0.0;
  };
  size_t off10 = last;
  while (off10 > end - symbol && level(off10) < 0.1) --off10;
  size_t off90 = off10;
  while (off90 > end - symbol && level(off90) < 0.9) --off90;
  if (on90 >= start + stf || off90 <= end - symbol) return r;
  r.evaluated = true;
  r.onSeconds = static_cast<double>(on90 - on10) / fs;
  r.offSeconds = static_cast<double>(off10 - off90) / fs;
  return r;
}

}  // namespace tarvio::verify
