// Quantisation of a waveform to the resolution of a digital-to-analogue
// converter, as the analysis displays show it.
#pragma once

#include "runtime/types.h"

namespace tarvio {

// With m the largest |real| or |imag| component and
// scale = (2^(numBits-1) - 1) / m, returns round(wave * scale) / scale with
// real and imaginary parts rounded separately, halves away from zero, so the
// largest component lands on +/-(2^(numBits-1) - 1) steps. numBits <= 2
// returns the wave unchanged; numBits above 32 counts as 32. An all-zero wave
// (m = 0) is returned unchanged. Throws std::invalid_argument when numBits is
// not a number or the wave holds a value that is not finite.
CVec ApplyDacRes(const CVec& wave, double numBits);

// The same quantisation as separate rows of real and imaginary parts (each
// wave.size() long, replacing what `re` and `im` held), for a caller that
// hands the samples on in that form: each row is written once, on a core of
// its own, with no interleaved copy in between.
void ApplyDacRes(const CVec& wave, double numBits, RVec& re, RVec& im);

}  // namespace tarvio
