// The steps that turn a DSSS/CCK/PBCC chip row into a finished burst, shared
// by the 802.11b and the 802.11g ERP-PBCC generators: power ramps,
// oversampling with half-integer handling, circular filtering with rotation,
// mean removal, decimation, idle interval, pad, spectrum mirroring and the
// two marker rows.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

// A chip row with its power ramps.
struct DsssRamp {
  CVec signal;            // [ramp-up, modulated chips, ramp-down]
  size_t preLength = 0;   // chips of the ramp-up segment (0 without a ramp)
  double markerRamp = 0;  // ramp length for the markers, in output samples (0 without a ramp)
};

// Power up/down ramps, applied only when rampType > 0 and generationMode is 1
// (framed). The ramp is adjLength = round(rampLength / oversamplingRate)
// chips of the Barker sequence repeated cyclically, times the first
// (respectively last) chip of modSignal, shaped by k/adjLength (rampType 1,
// linear) or 0.5*(1 - cos(pi*k/adjLength)) (rampType 2, raised cosine),
// k = 1..adjLength, reversed for the ramp-down. rampType must be 0, 1 or 2
// and rampLength not negative, else std::invalid_argument. An empty
// modSignal gets no ramp.
DsssRamp dsss_power_ramp(const CVec& modSignal, double rampType, double rampLength, double oversamplingRate,
                         double generationMode);

// How a (whole or half-integer) oversampling is realised: upsampling by
// samplesPerChip, then keeping every decimateRate-th sample. A whole number
// n gives {n, 1}; a half-integer n + 0.5 gives {2n + 1, 2}. Other values, or
// values below 1, throw std::invalid_argument.
struct DsssOversampling {
  size_t samplesPerChip = 1;
  size_t decimateRate = 1;
};
DsssOversampling dsss_oversampling(double oversamplingRate);

// The filter taps to apply at samplesPerChip samples per chip. The taps in
// filterCoeffs were designed for oversamplingRate samples per chip
// (filterTaps = their count = symbols * oversamplingRate); when samplesPerChip
// differs (half-integer oversampling doubled for upsampling, or a change of
// symbol clock), filter types 0..3 are designed anew with
// GenFilterCoeffs(filterType, filterTaps / oversamplingRate, filterFactor,
// samplesPerChip) so that they keep their shape in time. A user filter
// (type 4, or any type above 3) keeps filterCoeffs. A negative filterType
// throws std::invalid_argument; empty taps throw as well.
RVec dsss_filter_taps(double filterType, double filterTaps, double filterFactor, double oversamplingRate,
                      double samplesPerChip, const RVec& filterCoeffs);

// Zero-insertion upsampling of `chips` by samplesPerChip, circular FIR
// filtering with `taps` (the burst is treated as one period, so it loops
// without a seam), then rotation left by floor(L/2) (L = number of taps) so
// the result is centred on the filter's middle tap:
//   y[n] = sum_k taps[k] * up[(n + floor(L/2) - k) mod N].
// No work is spent on the inserted zeros. `spare` samples of room are
// reserved after the result (see dsss_burst_spare).
CVec dsss_upsample_filter(const CVec& chips, size_t samplesPerChip, const RVec& taps, size_t spare = 0);

// The room dsss_finish_burst appends after a burst (idle interval and pad),
// reserved up front so that the burst is not moved to make it; 0 when the
// idle interval is not a usable count (dsss_finish_burst reports that).
size_t dsss_burst_spare(double idleSamples, double generationMode);

// Subtracts the arithmetic (complex) mean from every sample.
void dsss_remove_mean(CVec& samples);

// Finishing a filtered, mean-corrected burst:
//  1. keeps samples 0, decimateRate, 2*decimateRate, ... (M samples remain);
//  2. appends idleSamples zeros (framed mode only; generationMode 0 uses 0)
//     and one more zero when M + idle is odd;
//  3. conjugates everything when mirrorSpectrum is nonzero;
//  4. markers: row 1 = R zeros, M - 2R ones, R zeros (R = markerRamp,
//     limited to M/2), row 2 = M ones; both rows zero over idle and pad.
// Pass the samples with std::move to avoid a copy. idleSamples and markerRamp
// are rounded to whole samples and must not be
// negative (std::invalid_argument).
Frame dsss_finish_burst(CVec samples, size_t decimateRate, double idleSamples, double generationMode, double markerRamp,
                        double mirrorSpectrum);

}  // namespace tarvio
