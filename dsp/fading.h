// Static multipath channel: adds up to twelve delayed, attenuated and
// phase-rotated copies of a waveform to the waveform itself.
#pragma once

#include "records/records.h"
#include "runtime/types.h"

namespace tarvio {

// out(i) = in(i) + sum over the paths k that are on of
//   g_k * in(i - d_k),  g_k = 10^(atten_k/20) * exp(j * phase_k * pi/180),
// with d_k = delay_k / samplePeriodUsec samples. The delay is circular (a
// copy that runs off the end re-enters at the front), and a fractional delay
// interpolates linearly between the two neighbouring samples:
//   in(i - d) = a + (b - a) * f,  a = in(i - floor(d)), b = in(i - floor(d) - 1),
//   f = d - floor(d).
// Every path reads the input, never the partial sum. Throws
// std::invalid_argument when samplePeriodUsec is not a positive number or an
// active path holds a value that is not finite.
CVec ApplyFading(const CVec& waveform, double samplePeriodUsec, const FadingPaths& Fading);
// The same into `out` (resized to the input's length; its storage is reused).
void ApplyFading(const CVec& waveform, double samplePeriodUsec, const FadingPaths& Fading, CVec& out);

}  // namespace tarvio
