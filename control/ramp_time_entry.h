// The ramp-time entry of the main window: the microseconds typed become the
// ramp length in samples at 11 MHz times the oversampling, and the entry
// shows the time actually used.
#pragma once

#include <string>

#include "records/records.h"

namespace tarvio {

// t = the entry's number in us (text that is not a number counts as 0),
// limited to 0..1000; p.rampLength = round(t * 11 * p.OverSampling); returns
// the rewritten entry, rampLength / (11 * OverSampling). Throws
// std::invalid_argument when OverSampling is not positive.
std::string txtRampTime(const std::string& entry, Parameters& p);

}  // namespace tarvio
