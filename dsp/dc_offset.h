// DC offset (carrier leakage of the IQ modulator): a constant added to I
// and to Q.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

// x += (dc_i + j dc_q), with dc = reference_rms x 10^(dBc/20) for each of I
// and Q; a level of -Inf adds nothing to that part.
void dc_offset(cplx* x, size_t n, double reference_rms, double i_dbc, double q_dbc);

}  // namespace tarvio
