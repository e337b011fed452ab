// Power-on and power-down ramp times of an OFDM burst. The standard sets
// no limit for them; they are measured as for DSSS, 10 % to 90 % and 90 %
// to 10 % of the burst's power, on the power averaged over 0.1 us. The
// levels are those of the short training field after its first 2 us
// (power-on) and of the data before its last 2 us (power-down), so ramps
// up to 2 us read true. Over 0.1 us the training field's power stays within
// 15 % of its mean, whereas the data's swings with the symbols: a sharp end
// reads up to about 0.1 us.
#pragma once

#include <cstddef>

#include "runtime/types.h"
#include "verify/measurements.h"

namespace tarvio::verify {

// x[0..n) sampled at `fs` holds the burst from `start` (the first sample
// of the short training field) to `end` (one past the last DATA symbol);
// the ramps are sought up to 2 us outside them, and the noise floor read
// from the outer 1 us of that on either side.
RampTimes measure_ofdm_ramps(const cplx* x, size_t n, double fs, size_t start, size_t end);

}  // namespace tarvio::verify
