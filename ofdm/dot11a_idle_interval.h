// The idle-interval entry of the OFDM formats: the text the user typed (in
// microseconds) to parameters.idleSamples at 20 MHz x OverSampling, and the
// text the entry shows afterwards.
#pragma once

#include <string>

#include "records/records.h"

namespace tarvio {

// time = the entry's number in us (text that is not a number counts as 0),
// clamped to 0 .. 100000; p.idleSamples = round(time * 20 * p.OverSampling);
// returns the rewritten entry, idleSamples / (20 * OverSampling), the time
// actually used.
std::string Dot11a_txtIdleInterval(const std::string& entry, Parameters& p);

}  // namespace tarvio
