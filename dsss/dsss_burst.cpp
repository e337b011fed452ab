// Burst finishing steps shared by the DSSS and ERP-PBCC generators: ramps,
// oversampling plan, filter taps, circular filtering, mean removal, idle
// interval, pad, mirroring and markers.
#include "dsss/dsss_burst.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "dsp/circular_filter.h"
#include "dsp/filter_design.h"
#include "dsss/dot11b_barker.h"
#include "dsss/dsss_values.h"

namespace tarvio {

namespace {

size_t whole_count(double x, const char* what) {
  if (!std::isfinite(x) || x < 0)
    throw std::invalid_argument(std::string(what) + " must be 0 or more, not " + Num2Str(x) + ".");
  return static_cast<size_t>(round_half_away(x));
}

}  // namespace

DsssRamp dsss_power_ramp(const CVec& modSignal, double rampType, double rampLength, double oversamplingRate,
                         double generationMode) {
  if (rampType != 0 && rampType != 1 && rampType != 2)
    throw std::invalid_argument("Unsupported ramp type " + Num2Str(rampType) +
                                ": allowed are 0 (none), 1 (linear) and 2 (raised cosine).");
  DsssRamp out;
  if (rampType == 0 || generationMode != 1 || modSignal.empty()) {
    out.signal = modSignal;
    return out;
  }
  if (!std::isfinite(rampLength) || rampLength < 0)
    throw std::invalid_argument("The ramp length must be 0 or more samples, not " + Num2Str(rampLength) + ".");
  if (!(oversamplingRate > 0))
    throw std::invalid_argument("The oversampling must be positive, not " + Num2Str(oversamplingRate) + ".");
  const size_t adj = static_cast<size_t>(round_half_away(rampLength / oversamplingRate));  // ramp in chips
  const cplx first = modSignal.front(), last = modSignal.back();
  out.signal.resize(modSignal.size() + 2 * adj);
  auto mask = [&](size_t k) {  // k = 1 .. adj
    const double x = static_cast<double>(k) / static_cast<double>(adj);
    return rampType == 1 ? x : 0.5 * (1 - std::cos(std::numbers::pi * x));
  };
  for (size_t k = 1; k <= adj; ++k) {
    const double barker = kDot11bBarker[(k - 1) % kDot11bBarker.size()];             // cyclic Barker extension
    out.signal[k - 1] = barker * first * mask(k);                                    // ramp-up
    out.signal[modSignal.size() + adj + k - 1] = barker * last * mask(adj + 1 - k);  // ramp-down
  }
  std::copy(modSignal.begin(), modSignal.end(), out.signal.begin() + static_cast<std::ptrdiff_t>(adj));
  out.preLength = adj;
  out.markerRamp = rampLength;
  return out;
}

DsssOversampling dsss_oversampling(double oversamplingRate) {
  const double twice = 2 * oversamplingRate;
  if (!(oversamplingRate > 0) || !dsss_is_whole(twice) || twice > 1e6)
    throw std::invalid_argument("Unsupported oversampling " + Num2Str(oversamplingRate) +
                                ": allowed are whole or half-integer numbers above 0.");
  if (dsss_is_whole(oversamplingRate)) return {static_cast<size_t>(oversamplingRate), 1};
  return {static_cast<size_t>(twice), 2};
}

RVec dsss_filter_taps(double filterType, double filterTaps, double filterFactor, double oversamplingRate,
                      double samplesPerChip, const RVec& filterCoeffs) {
  if (!(filterType >= 0))
    throw std::invalid_argument("Unsupported filter type " + Num2Str(filterType) +
                                ": allowed are 0 (none), 1 (Gaussian), 2 (root cosine), 3 (brick) and 4 (user).");
  RVec taps;
  if (filterType >= 4 || samplesPerChip == oversamplingRate) {
    taps = filterCoeffs;
  } else {
    if (!(oversamplingRate > 0) || !(filterTaps > 0))
      throw std::invalid_argument("The filter length must be positive, not " + Num2Str(filterTaps) + " taps.");
    taps = GenFilterCoeffs(filterType, filterTaps / oversamplingRate, filterFactor, samplesPerChip, RVec{});
  }
  if (taps.empty()) throw std::invalid_argument("The baseband filter has no coefficients.");
  return taps;
}

size_t dsss_burst_spare(double idleSamples, double generationMode) {
  if (generationMode == 0) return 1;
  // Beyond this the room is not reserved; such an interval is rare enough.
  constexpr double kMaxSpare = 1 << 24;
  if (!std::isfinite(idleSamples) || idleSamples < 0 || idleSamples > kMaxSpare) return 0;
  return static_cast<size_t>(round_half_away(idleSamples)) + 1;
}

CVec dsss_upsample_filter(const CVec& chips, size_t samplesPerChip, const RVec& taps, size_t spare) {
  if (taps.empty()) throw std::invalid_argument("The baseband filter has no coefficients.");
  if (samplesPerChip == 0) throw std::invalid_argument("The upsampling factor must be 1 or more.");
  if (chips.empty()) return {};
  // The rotation left by s = floor(L/2) samples is folded into the filtering
  // instead of moving the whole output: the chips are rotated left by
  // q = ceil(s/P) chips (qP >= s samples) and the taps delayed by the
  // remaining d = qP - s < P samples.
  const size_t p = samplesPerChip, n = chips.size() * p;
  const size_t s = (taps.size() / 2) % n;
  const size_t q = (s + p - 1) / p;
  const size_t d = q * p - s;
  CVec rotated(chips.size());
  std::rotate_copy(chips.begin(), chips.begin() + static_cast<std::ptrdiff_t>(q % chips.size()), chips.end(),
                   rotated.begin());
  RVec delayed(d + taps.size(), 0.0);
  std::copy(taps.begin(), taps.end(), delayed.begin() + static_cast<std::ptrdiff_t>(d));
  return upsample_circular_filter(rotated, p, delayed, spare);
}

void dsss_remove_mean(CVec& samples) {
  if (samples.empty()) return;
  // Four partial sums per component so the loop runs in parallel lanes.
  double re[4] = {0, 0, 0, 0}, im[4] = {0, 0, 0, 0};
  const size_t n = samples.size(), n4 = n - n % 4;
  for (size_t i = 0; i < n4; i += 4)
    for (size_t l = 0; l < 4; ++l) {
      re[l] += samples[i + l].real();
      im[l] += samples[i + l].imag();
    }
  for (size_t i = n4; i < n; ++i) {
    re[0] += samples[i].real();
    im[0] += samples[i].imag();
  }
  const double count = static_cast<double>(n);
  const cplx mean(((re[0] + re[1]) + (re[2] + re[3])) / count, ((im[0] + im[1]) + (im[2] + im[3])) / count);
  for (cplx& s : samples) s -= mean;
}

Frame dsss_finish_burst(CVec samples, size_t decimateRate, double idleSamples, double generationMode, double markerRamp,
                        double mirrorSpectrum) {
  if (decimateRate == 0) throw std::invalid_argument("The decimation rate must be 1 or more.");
  const size_t idle = generationMode == 0 ? 0 : whole_count(idleSamples, "The idle interval");
  size_t ramp = whole_count(markerRamp, "The ramp length");
  const size_t m = (samples.size() + decimateRate - 1) / decimateRate;
  const size_t pad = (m + idle) % 2;
  const size_t total = m + idle + pad;
  Frame f;
  // Decimate in place, then append the idle interval and the pad as zeros.
  if (decimateRate > 1)
    for (size_t i = 1; i < m; ++i) samples[i] = samples[i * decimateRate];
  samples.resize(m);
  samples.resize(total, cplx(0, 0));
  if (mirrorSpectrum != 0)
    for (size_t i = 0; i < m; ++i) samples[i] = std::conj(samples[i]);  // the zeros stay zeros
  f.waveform = std::move(samples);
  ramp = std::min(ramp, m / 2);
  f.markers.row1.assign(total, 0);
  f.markers.row2.assign(total, 0);
  std::fill(f.markers.row1.begin() + static_cast<std::ptrdiff_t>(ramp),
            f.markers.row1.begin() + static_cast<std::ptrdiff_t>(m - ramp), 1);
  std::fill(f.markers.row2.begin(), f.markers.row2.begin() + static_cast<std::ptrdiff_t>(m), 1);
  return f;
}

}  // namespace tarvio
