// One complete 802.11b DSSS/CCK/PBCC burst with its marker rows.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// `filterCoeffs` is the program-wide parameters.filterCoeffs (the registered
// operation passes it).
Frame Dot11b_FRAME(const Bits& databits, double dataRate, double highRateMod, double preambleType, double clkLocked,
                   double scramblerActive, double encoderActive, double generationMode, double idleSamples,
                   double rampType, double rampLength, double OverSampling, double FilterType, double FilterFactor,
                   double taps, double MirrorSpectrum, const RVec& filterCoeffs);

}  // namespace tarvio
