// The PLCP preamble of IEEE 802.11a (17.3.3): ten short training symbols
// (8 us, equation (17-6)) followed by the 1.6 us guard and two long training
// symbols (8 us, equation (17-8)), windowed and joined like data symbols.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// [t, t, first half of t] of the short-sequence period t (64*OS samples),
// windowed with no prefix: 160*OS + windowLength samples.
CVec Dot11a_ShortSeq(double oversamplingRate, double windowLength, const RVec& subCarrierMask, double sincComp);
// [second half of t, t, t] of the long-sequence period, windowed after the
// 32*OS-sample guard: 160*OS + windowLength samples.
CVec Dot11a_LongSeq(double oversamplingRate, double windowLength, const RVec& subCarrierMask, double sincComp);
// Short field stitched to the long field: 320*OS + windowingLength samples.
CVec Dot11a_SYNC(double oversamplingRate, double windowingLength, const RVec& subCarrierMask, double sincCompensation);

// The sub-carrier values -26..+26 of the two sequences.
const CVec& dot11a_short_sequence();
const CVec& dot11a_long_sequence();

}  // namespace tarvio
