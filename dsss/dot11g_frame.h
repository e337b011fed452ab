// One complete 802.11g ERP-PBCC burst (22 and 33 Mbit/s) with its marker rows.
//
// Framed mode: the 802.11b long or short preamble and the ERP header at
// 11 Mchip/s (DBPSK/DQPSK with Barker spreading), then the 8PSK PBCC payload
// (IEEE 802.11g 19.6). At 33 Mbit/s the header is followed by the 15
// clock-switch bits of `clkStruct` (tail, head, reSync) at 1 Mbit/s and the
// symbol clock changes from 11 MHz to 16.5 MHz after the third (the tail):
// the burst is filtered once at OverSampling samples per chip and once at
// OverSampling * 2/3 samples per chip, and the two rows are spliced there.
// Unframed mode: the bare payload; at 33 Mbit/s all of it at the 16.5 MHz
// clock.
//
// Filter taps always match the samples per symbol at which they are applied:
// `filterCoeffs` (designed for OverSampling samples per chip, `taps` =
// FilterTaps * OverSampling of them) is used where the rate is OverSampling;
// elsewhere (post-switch clock, half-integer oversampling run at twice the
// rate) filter types 0..3 are designed anew for that rate with the same
// length in symbols and factor. A user filter (type 4) keeps its taps.
//
// Rates other than 22 and 33, preamble types other than 0/1, scrambler modes
// other than 0/1/2, generation modes other than 0/1, and at 33 Mbit/s an
// OverSampling that is not a multiple of 1.5 throw std::invalid_argument.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// `filterCoeffs` is the program-wide parameters.filterCoeffs (the registered
// operation passes it).
Frame Dot11g_FRAME(const Bits& databits, double clkStruct, double dataRate, double highRateMod, double preambleType,
                   double clkLocked, double scramblerActive, double encoderActive, double generationMode,
                   double idleSamples, double rampType, double rampLength, double OverSampling, double FilterType,
                   double FilterFactor, double taps, double MirrorSpectrum, const RVec& filterCoeffs);

}  // namespace tarvio
