// The magnitude spectrum display: the discrete Fourier transform of the
// whole waveform (no window, no averaging), zero frequency in the middle,
// levels in dB relative to the strongest bin.
#pragma once

#include <string>

#include "displays/figure.h"
#include "displays/iq_view.h"
#include "runtime/types.h"

namespace tarvio {

struct Spectrum {
  RVec level_db;     // one value per bin, lowest frequency first, peak at 0 dB
  double f0_hz = 0;  // frequency of level_db[0]
  double df_hz = 0;  // bin spacing fs/N
  Limits axis_db;    // the vertical axis
  double rbw_hz = 0;  // averaged spectrum: its resolution bandwidth (noise bandwidth of one bin)
};

// The spectrum of `x` sampled at `fs` Hz. Bin k (frequency k * fs/N for
// k = -floor(N/2) ... ceil(N/2) - 1) is placed at that frequency, so zero
// frequency sits at f = 0 for odd and even N. Power is |X|^2; when a bin is
// exactly 0, 1e-20 times the largest power (1e-20 when everything is 0) is
// added to every bin so that the logarithm is finite. The axis runs from the
// lowest level rounded down to 10 dB, but not below -100 dB, to the highest
// rounded up to 10 dB; a flat spectrum gets the 10 dB below its level.
// The samples are read once, into the transform's own buffer; the passes
// over the bins run on every core. Throws std::invalid_argument for an
// empty waveform, a sample that is not a finite number (naming the first), a
// sample rate that is not positive or a waveform too long for one
// transform.
Spectrum magnitude_spectrum(IqView x, double fs);

// The display: window "Magnitude Spectrum " + title, one axes from -fs/2 to
// fs/2 in the frequency unit of fs/2, labels "Frequency (unit)" and
// "LogMag (dB)", grid lines. An empty waveform shows "No Data".
Figure spectrum_figure(IqView x, double fs, const std::string& title);

// The averaged spectrum an analyser shows (Welch): segments of N samples
// (the power of two that gives bins of 100 kHz or less; fewer when the
// waveform is shorter), overlapping by half, each under a Hann window; the
// mean of their powers, bins and levels as above. The resolution bandwidth
// is the window's noise bandwidth, 1.5 fs/N. Throws as above.
Spectrum welch_spectrum(IqView x, double fs);

// The averaged display: as spectrum_figure, the resolution bandwidth on the
// frequency axis ("Frequency (MHz)  RBW 117.2 kHz").
Figure welch_spectrum_figure(IqView x, double fs, const std::string& title);

}  // namespace tarvio
