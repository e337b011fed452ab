// Gray-coded constellation mapping of the OFDM sub-carriers (IEEE 802.11a
// 17.3.5.7, Tables 82 to 85), normalised to unit average power.
#pragma once

#include <string>

#include "runtime/types.h"

namespace tarvio {

// One value per N_BPSC bits b0 b1 ... (first in time first):
//   "BPSK":  2b0-1
//   "QPSK":  ((2b0-1) + j(2b1-1)) / sqrt(2)
//   "QAM16": I = (2b0-1)(3-2b1), Q = (2b2-1)(3-2b3), (I + jQ) / sqrt(10)
//   "QAM64": I = (2b0-1)(4+(1-2b1)(3-2b2)), Q likewise from b3 b4 b5, / sqrt(42)
CVec Dot11a_ConvertToIQ(const Bits& data, const std::string& format);

// Writes the mapped values of `data` to out[0 .. data.size()/N_BPSC - 1]
// without allocating; the signal paths use this form.
void dot11a_map_bits(const uint8_t* data, size_t nbits, const std::string& format, cplx* out);

// The `modulation` code (1 BPSK, 2 QPSK, 3 16-QAM, 4 64-QAM) as its format
// name and its number of bits per sub-carrier; other codes throw.
const std::string& dot11a_format_name(double modulation);
int dot11a_bits_per_subcarrier(double modulation);

}  // namespace tarvio
