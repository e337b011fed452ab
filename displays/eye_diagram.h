// The eye diagram display: stretches of two symbol periods of I and of Q
// laid over each other, so that the symbol instants show as open eyes.
#pragma once

#include <string>

#include "displays/figure.h"
#include "runtime/types.h"

namespace tarvio {

// Window "Eye Diagram " + title. Stretch k (k = 0 ... symbols-1) covers
// samples delay + k*sps ... delay + (k+2)*sps, sps being samples_per_symbol
// rounded to a whole number of at least 1; stretches that would run past the
// end of the waveform are left out. Two axes, "I" above and "Q" below, x in
// symbol periods from 0 to 2. No stretch shows "No Data".
Figure eye_diagram_figure(const CVec& x, const std::string& title, double samples_per_symbol, size_t symbols,
                          size_t delay);

}  // namespace tarvio
