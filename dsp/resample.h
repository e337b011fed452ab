// Small resampling and spectrum tools: the normalised sinc, sinc
// compensation of an oversampled OFDM spectrum, zero-insertion upsampling
// and cyclic extension of a row.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

double Sinc(double x);                   // sin(pi x)/(pi x), 1 at 0
RVec Sinc(const RVec& x);                // element by element
CVec SincCompensation(const CVec& y);    // y in inverse-DFT order
CVec Upsample(const CVec& x, size_t n);  // each sample followed by n-1 zeros
RVec Upsample(const RVec& x, size_t n);
CVec Extendvector(const CVec& data, size_t reqLength);
RVec Extendvector(const RVec& data, size_t reqLength);

}  // namespace tarvio
