// The I(t) Q(t) display: the in-phase and quadrature components against
// time, on two axes or overlaid on one.
#pragma once

#include <string>

#include "displays/figure.h"
#include "displays/iq_view.h"
#include "displays/units.h"
#include "runtime/types.h"

namespace tarvio {

struct IqUnits {
  AxisUnit time;     // chosen from the time of the last sample, (N-1)/fs
  AxisUnit voltage;  // chosen from the largest |I| or |Q|
};

IqUnits iq_units(IqView x, double fs);

// Window "I(t) Q(t) " + title. Separate: two axes, upper "I(t)" and lower
// "Q(t)"; overlaid: one axes "I(t) Q(t)" holding both. Labels
// "Amplitude (unit)" and "Time (unit)", I blue and Q magenta, limits the
// data limits. An empty waveform shows "No Data". Throws
// std::invalid_argument for a sample rate that is not positive.
Figure iq_time_figure(IqView x, double fs, const std::string& title, bool overlaid);

}  // namespace tarvio
