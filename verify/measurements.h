// Transmitter measurements shared by the receivers: RMS error vector
// magnitude, the transmit spectrum mask (IEEE 802.11 OFDM 17.3.9.2 and
// DSSS 15.4.5.5 / 18.4.7.3 limits, in dB relative to the spectrum's peak),
// and the DSSS power-on and power-down ramp times (18.4.7.6).
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <vector>

#include "runtime/types.h"
#include "verify/fft.h"

namespace tarvio::verify {

// Sum of squared errors against the ideal points and of the ideal power.
struct EvmSum {
  double error = 0, reference = 0;
  size_t count = 0;
  void add(cplx measured, cplx ideal) {
    error += std::norm(measured - ideal);
    reference += std::norm(ideal);
    ++count;
  }
  // RMS EVM as a ratio (0.1 = 10 %); 0 when nothing was added.
  double ratio() const { return reference > 0 ? std::sqrt(error / reference) : 0; }
  double db() const;  // 20 log10(ratio); -inf for an exact match
};

enum class MaskKind { Ofdm, Dsss };

// The mask limit in dBr at frequency offset f (Hz) from the carrier.
double mask_limit_db(MaskKind kind, double f);

struct MaskResult {
  bool evaluated = false;
  bool pass = true;
  double worstMarginDb = std::numeric_limits<double>::infinity();  // limit minus measured, smallest
  double worstFreqHz = 0;
  double checkedToHz = 0;  // the mask is checked out to +-fs/2
  // The sampled band ends before the mask's last corner (30 MHz OFDM,
  // 22 MHz DSSS): the mask was checked only up to checkedToHz.
  bool limitedByRate = false;
  // Not evaluated because the sampled band ends inside the mask's flat
  // (0 dBr) part: nothing could be checked.
  bool bandTooNarrow = false;
};

// The worse of two mask results (both parts of one burst).
MaskResult worse(const MaskResult& a, const MaskResult& b);

// Welch estimate of the power spectral density (Hann window, no overlap,
// a resolution near 100 kHz) of one burst, normalised to its peak and
// compared with the mask of `kind`. One object per sample rate; its
// buffers are reused from burst to burst. The DSSS mask's corners, 11 and
// 22 MHz, are one and two times the chip rate of 11 Mchip/s: for a part
// sent at `chip_scale` times that rate (1.5 for the 16.5 Mchip/s part of
// a 33 Mbit/s burst) they move with it.
class SpectrumMask {
 public:
  SpectrumMask(double sample_rate, MaskKind kind, double chip_scale = 1);
  // The samples may hold anything: non-finite ones leave the mask not
  // evaluated, huge ones are scaled down first.
  MaskResult check(const cplx* x, size_t n);
  size_t fft_size() const { return fft_.size(); }

 private:
  double fs_;
  MaskKind kind_;
  Fft fft_;
  std::vector<double> window_, psd_, limit_;
  std::vector<double> overLimit_;  // 1 / the limit, linear
  double firstCornerHz_, lastCornerHz_;  // where the limit leaves 0 dBr, where it stops changing
};

struct RampTimes {
  bool evaluated = false;
  double onSeconds = 0, offSeconds = 0;  // 10 % to 90 % and 90 % to 10 % of the burst's power
  // Not evaluated because the noise around the burst lies within
  // kRampFloorDb of its power: the noise would cross the 10 % level.
  bool noisy = false;
};

// How far below the burst the noise floor must lie for its ramps to be
// measured (dB).
inline constexpr double kRampFloorDb = 20;

// True when the floor (the lesser of the mean powers of x[0..k) and of
// x[n-k..n)) lies within kRampFloorDb of `level`.
bool ramp_floor_too_high(const cplx* x, size_t n, size_t k, double level);

// A figure as the report prints it, rounded to `decimals` places (as
// printf's "%.*f" rounds it). The limits are judged on the figure printed,
// so that a failure always shows its excess: an estimate a hair beyond a
// limit, printed as exactly the limit, passes.
double as_printed(double value, int decimals);

// Ramp times of a burst whose samples x[0..n) cover it with some idle
// samples on either side; the power is averaged over one chip. The floor
// is read from the outer 2 us on either side.
RampTimes measure_ramps(const cplx* x, size_t n, double sample_rate);

}  // namespace tarvio::verify
