// One complete 802.11a/g OFDM packet waveform with its marker rows.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// `filterCoeffs` is the baseband filter applied circularly to the frame (the
// registered operation passes the program-wide parameters.filterCoeffs).
Frame Dot11a_FRAME(double generationMode, const Bits& databits, double serviceField, double dataRate, double modulation,
                   double encoderRate, double scramblerActive, double scramblerInit, double interleaverActive,
                   const RVec& SubCarriers, double OverSampling, double WindowingLength, double idleSamples,
                   double FilterType, double FilterFactor, double taps, double MirrorSpectrum, double sincXcompensation,
                   const RVec& filterCoeffs);

}  // namespace tarvio
