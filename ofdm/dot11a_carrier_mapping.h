// Placement of the 53 OFDM sub-carriers (-26 .. +26, DC in the middle) into
// inverse-DFT bins, and oversampling by zero insertion in the frequency
// domain (IEEE 802.11a 17.3.5.9, Figure 109).
#pragma once

#include "runtime/types.h"

namespace tarvio {

// 53 values for sub-carriers -26..+26 into 64 bins.
//   method 1: [d(0..26), 11 zeros, d(-26..-1)]   inverse-DFT order, bin 0 = DC
//   method 0: [6 zeros, d(-26..+26), 5 zeros]    natural order, centred
// Other methods and inputs of another length throw.
CVec Dot11a_CarrierMapping(const CVec& data, double method);
RVec Dot11a_CarrierMapping(const RVec& data, double method);

// 64 bins in inverse-DFT order to 64*oversamplingRate bins.
//   stdMethod 1: [in(0..31), (OS-1)*64 zeros, in(32..63)]  (zeros at the
//                highest frequencies, the usual interpolation)
//   stdMethod 2: [in, (OS-1)*64 zeros]
// A nonzero DACcompensate then divides every bin by its sinc weight
// (SincCompensation), pre-distorting for the DAC's zero-order hold.
CVec Dot11a_Oversample(const CVec& input, double oversamplingRate, double DACcompensate = 1, double stdMethod = 1);

// Checks that x is a whole number from 1 to 100 and returns it.
size_t dot11a_oversampling(double x, const char* op);

}  // namespace tarvio
