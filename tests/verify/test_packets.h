// Packets the tests build themselves: a random PSDU with its FCS, and a
// capture of two 6 Mbit/s packets at 20 MHz, the second with a spoiled FCS.
#pragma once

#include <random>

#include "dsp/filter_design.h"
#include "mac/fcs.h"
#include "ofdm/dot11a_frame.h"
#include "runtime/types.h"

namespace tarvio::verify::testing {

// `octets` octets: random bits, the last four the CRC-32 of the others.
inline Bits random_psdu(size_t octets, unsigned seed) {
  std::mt19937 gen(seed);
  Bits b(8 * (octets - 4));
  for (auto& v : b) v = static_cast<uint8_t>(gen() & 1u);
  const Bits f = CCITT_CRC32(b);
  b.insert(b.end(), f.begin(), f.end());
  return b;
}

// Two 100-octet packets at 6 Mbit/s, 20 Msample/s, one after the other;
// one bit of the second's PSDU turned over, so that its FCS fails.
inline CVec two_packet_capture(unsigned seed) {
  Bits psdu = random_psdu(100, seed);
  RVec mask(53, 1.0);
  mask[26] = 0;
  CVec x;
  for (int k = 0; k < 2; ++k) {
    if (k == 1) psdu[40] ^= 1;
    const CVec w =
        Dot11a_FRAME(1, psdu, 0, 6, 1, 0.5, 1, 93, 1, mask, 1, 2, 200, 0, 0, 16, 0, 0, GenFilterCoeffs(0, 16, 0, 1, {}))
            .waveform;
    x.insert(x.end(), w.begin(), w.end());
  }
  return x;
}

}  // namespace tarvio::verify::testing
