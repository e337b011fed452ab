// Brings a burst captured at any sample rate to the rate a receiver works
// at, by a Kaiser-windowed sinc whose cutoff is half the lower of the two
// rates (so that a lower output rate is not aliased from outside its band),
// spanning 32 samples of that rate. The kernel is tabulated at 4096
// fractional positions (1024 for the long kernels of high capture rates).
// Within 0.415 of the lower rate (an OFDM signal at 20 MHz) a tone comes
// out within -60 dB of exact; content beyond the band edge by a tenth of
// the lower rate or more is suppressed by 50 dB (tested); closer to the
// edge it aliases to near the other edge, outside the signal's band. Also turns the burst by a frequency offset first
// (the signal's centre in the capture).
#pragma once

#include <cstddef>
#include <vector>

#include "runtime/types.h"

namespace tarvio::analyze {

class CaptureResampler {
 public:
  CaptureResampler(double rate_in, double rate_out);
  double rate_in() const { return in_; }
  double rate_out() const { return out_; }
  bool identity() const { return in_ == out_; }
  // out[m] = x(m * rate_in / rate_out); out holds every sample whose kernel
  // centre lies inside x.
  void run(const CVec& x, CVec& out) const;

 private:
  double in_, out_, step_;
  int half_ = 0;  // taps on each side of the centre, in input samples
  int phases_ = 0;              // fractional positions tabulated
  std::vector<double> table_;  // (phases_ + 1) rows of 2 * half_ taps
};

// Turns x[k] (sample `first` of the capture at `rate`) by -offset_hz, so a
// signal centred at +offset_hz comes to 0 Hz.
void shift_frequency(CVec& x, double offset_hz, double rate, size_t first);

// The rate the receiver of a family takes for a capture at `rate`: OFDM
// 20 MHz times the whole number at or below it, from 20 to 80 MHz; DSSS the
// capture's own rate (its receiver takes any rate) within 11 to 44 MHz. The
// highest receiver rates hold the whole spectrum mask (+-30 MHz OFDM,
// +-22 MHz DSSS), so higher capture rates are brought down to them.
double receiver_rate(bool ofdm, double rate);

}  // namespace tarvio::analyze
