// Time-domain finishing of OFDM symbols: the cyclic prefix (guard interval),
// raised-cosine edge windowing and the overlap-add joining of consecutive
// windowed symbols (IEEE 802.11a 17.3.2.4).
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

// [last cpRatio*N samples of input, input]; cpRatio*N must be whole.
CVec Dot11a_CyclicPrefix(const CVec& input, double cpRatio);

// With W = windowLength > 0 and start = cpRatio*N/(1+cpRatio) (the prefix
// length of a symbol of N samples): output = [data, data(start .. start+W-1)]
// and, for i = 1..W, output(i) and output(last-i+1) are multiplied by
//   w(i) = 0.5 - 0.5*cos(pi*(i - 0.5)/W).
// W <= 0 returns data unchanged.
CVec Dot11a_Windowing(const CVec& data, double windowLength, double cpRatio);

// Overlap-add of two windowed pieces: a's last W samples are added to b's
// first W; the result has |a| + |b| - W samples. An empty a gives b.
CVec Dot11a_StitchSubFrames(const CVec& a, const CVec& b, double windowLength);

// In-place forms used by the signal paths (no allocation once `x` and `acc`
// have capacity):
// windows x[0 .. n-1] of which the prefix is `start` samples long, appending
// the W repeated samples;
void dot11a_window_in_place(CVec& x, size_t start, size_t W);
// appends b to acc with an overlap of W samples (acc empty: plain copy).
void dot11a_stitch_append(CVec& acc, const cplx* b, size_t nb, size_t W);

// A windowing length argument as a count: a whole number; `allow_negative`
// maps values below 0 to 0, otherwise they throw.
size_t dot11a_window_count(double windowLength, const char* op, bool allow_negative);

}  // namespace tarvio
