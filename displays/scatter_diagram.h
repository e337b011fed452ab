// The scatter diagram display: every sample as a point in the I/Q plane,
// optionally joined in time order.
#pragma once

#include <string>

#include "displays/figure.h"
#include "runtime/types.h"

namespace tarvio {

// Window "Scatter Diagram " + title: Q against I on one axes with equal
// limits on both, points only, or joined when trace_on. An empty waveform
// shows "No Data".
Figure scatter_figure(const CVec& x, const std::string& title, bool trace_on);

}  // namespace tarvio
