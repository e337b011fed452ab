// The waterfall display: the spectrum of successive blocks of the waveform
// as a colour image, frequency across and time up.
#pragma once

#include <string>

#include "displays/figure.h"
#include "runtime/types.h"

namespace tarvio {

// Window "Waterfall " + title. Blocks of 256 samples (the whole waveform when
// shorter; a tail shorter than a block is left out) are transformed, their
// power ordered like the magnitude spectrum and, when there are more than
// 512 blocks, averaged over groups of blocks so that the image has at most
// 512 rows. Levels in dB relative to the strongest cell, from -100 to 0. An
// empty waveform shows "No Data". Throws std::invalid_argument for a sample
// rate that is not positive.
Figure waterfall_figure(const CVec& x, double fs, const std::string& title);

}  // namespace tarvio
