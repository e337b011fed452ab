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
};

// Welch estimate of the power spectral density (Hann window, no overlap,
// a resolution near 100 kHz) of one burst, normalised to its peak and
// compared with the mask of `kind`. One object per sample rate; its
// buffers are reused from burst to burst.
class SpectrumMask {
 public:
  SpectrumMask(double sample_rate, MaskKind kind);
  MaskResult check(const cplx* x, size_t n);
  size_t fft_size() const { return fft_.size(); }

 private:
  double fs_;
  MaskKind kind_;
  Fft fft_;
  std::vector<double> window_, psd_, limit_;
  CVec buf_;
};

struct RampTimes {
  bool evaluated = false;
  double onSeconds = 0, offSeconds = 0;  // 10 % to 90 % and 90 % to 10 % of the burst's power
};

// Ramp times of a burst whose samples x[0..n) cover it with some idle
// samples on either side; the power is averaged over one chip.
RampTimes measure_ramps(const cplx* x, size_t n, double sample_rate);

}  // namespace tarvio::verify
