// The idle-interval entry of the main window for the DSSS formats: the entered
// microseconds become whole idle samples at 11 MHz times the oversampling.
#pragma once

#include <string>

#include "records/records.h"

namespace tarvio {

// Reads `text` as microseconds (a text that is not a number counts as 0),
// clamps it to 0..100000, sets parameters.idleSamples =
// round(time * 11 * OverSampling) and returns the text to show in the entry:
// idleSamples / (11 * OverSampling), the time actually used.
std::string Dot11b_txtIdleInterval(const std::string& text, Parameters& parameters);

}  // namespace tarvio
