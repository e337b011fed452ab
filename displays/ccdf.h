// The CCDF display: how often the instantaneous power exceeds each level
// above the average power, with the curve of Gaussian noise for comparison.
#pragma once

#include <string>

#include "displays/figure.h"
#include "displays/iq_view.h"
#include "runtime/types.h"

namespace tarvio {

struct Ccdf {
  RVec level_db;             // 201 levels 0, step, ..., max in dB above average
  RVec percent;              // share of samples at or above each level, in %
  RVec reference;            // the same for Gaussian noise, in %
  bool real_valued = false;  // every sample had a zero imaginary part
  // The measured curve as drawn: up to its last non-zero point and the zero
  // after it, which drops to the axis floor.
  size_t drawn = 0;
  Limits axis_percent;  // logarithmic vertical axis
};

// Instantaneous power p = |x|^2 (1e-300 added to every sample when one is
// exactly 0) relative to the average power (1e-300 when that is 0), in dB.
// The level axis ends at the largest relative level, but at least 20 dB;
// beyond 20 dB it is extended by 1 %. Levels x(i) = i * max/200; the count at
// x(i) is the number of samples whose relative level is >= x(i). The
// reference is 100 exp(-10^(x/10)) for complex samples and
// 100 erfc(10^(x/20)/sqrt(2)) for real-valued ones. The vertical axis runs
// from the smallest non-zero percentage, but at most 0.001 %, to 100 %.
// Throws std::invalid_argument for an empty waveform or one holding a
// sample that is not a finite number (naming the first).
Ccdf ccdf(IqView x);

// Window "CCDF " + title: the measured and the reference curve on one axes,
// "dB above Average" from 0 to the last level, logarithmic
// "Frequency of occurence (%)", dotted grid. An empty waveform shows
// "No Data".
Figure ccdf_figure(IqView x, const std::string& title);

// Burst gating: the samples of the bursts alone, found by their power
// against the idle parts between them (as the verification finds them), so
// that the idle gaps do not pull the average down and the levels up. A
// waveform without idle parts is returned whole.
CVec burst_samples(IqView x, double fs);

// The CCDF of the bursts alone (burst_samples at `fs`): as ccdf_figure,
// the measured curve labelled "Measured in bursts (%)".
Figure gated_ccdf_figure(IqView x, double fs, const std::string& title);

}  // namespace tarvio
