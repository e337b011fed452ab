// One OFDM symbol in the time domain (IEEE 802.11a 17.3.5.9): 48 data values
// and 4 pilots on the sub-carriers -26..+26, the sub-carrier mask, frequency-
// domain oversampling, a 1/N inverse DFT, the 0.8 us cyclic prefix and the
// raised-cosine edge window.
#pragma once

#include <cstddef>

#include "ofdm/inverse_dft.h"
#include "runtime/types.h"

namespace tarvio {

// Sub-carrier vector (-26..+26) of one symbol:
// [d1..d5, p, d6..d18, p, d19..d24, 0, d25..d30, p, d31..d43, -p, d44..d48]
// (pilots p, p, p, -p on -21, -7, +7, +21).
void dot11a_subcarrier_vector(const cplx* data48, double pilot, cplx* out53);

// The 48 data-carrying sub-carriers as positions 0..52 of the vector above.
const size_t* dot11a_data_carrier_positions();

// 80*oversamplingRate + windowLength samples: sub-carrier vector, bins
// (method 1) times the 64-bin subCarrierMask, Dot11a_Oversample, inverse
// DFT of 64*oversamplingRate points, prefix of a quarter, window.
CVec Dot11a_SymbolBuild(const CVec& data, double pilot, double oversamplingRate, double windowLength,
                        const RVec& subCarrierMask, double sincComp);

// Builds symbols of one frame with fixed settings, reusing its buffers and
// the cached inverse-DFT plan; Dot11a_SymbolBuild and the training fields
// are made with it.
class Dot11aSymbolBuilder {
 public:
  Dot11aSymbolBuilder(double oversamplingRate, double windowLength, const RVec& subCarrierMask, double sincComp);

  size_t oversampling() const { return os_; }
  size_t window() const { return w_; }
  size_t dft_size() const { return 64 * os_; }

  // One period (64*OS samples) of the 53 sub-carrier values, masked and
  // oversampled; valid until the next call.
  const DftBuffer& period(const cplx* subcarriers53);

  // A windowed data or SIGNAL symbol of 80*OS + W samples into `out`.
  void symbol(const cplx* data48, double pilot, CVec& out);

 private:
  size_t os_ = 1;
  size_t w_ = 0;
  RVec mask_;      // 64 bins
  RVec inv_sinc_;  // per-bin sinc pre-compensation factors, empty when off
  DftBuffer freq_, time_;
  cplx sc_[53];
};

}  // namespace tarvio
