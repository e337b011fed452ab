// Complementary code keying, the 5.5 and 11 Mbit/s modulation of IEEE 802.11b
// (18.4.6.5): 4 or 8 bits select one 8-chip complex codeword.
#pragma once

#include <array>

#include "runtime/types.h"

namespace tarvio {

// CCK for DATArate 5.5 or 11 (anything else throws); 8 chips per symbol.
// The first symbol's phi1 is referenced to the angle of initialPhase.
CVec Dot11b_CCK(const Bits& DATAbits, double DATArate, cplx initialPhase);
// 5.5 Mbit/s: d0 d1 -> phi1 (differential), phi2 = d2*pi + pi/2, phi3 = 0,
// phi4 = d3*pi. Bits beyond the last whole 4-bit symbol are not sent.
CVec Dot11b_CCK5(const Bits& data, cplx initialPhase);
// 11 Mbit/s: d0 d1 -> phi1 (differential), phi2, phi3, phi4 = d*pi + d'*pi/2
// from the pairs (d2 d3), (d4 d5), (d6 d7).
CVec Dot11b_CCK11(const Bits& data, cplx initialPhase);

// phi1 of every symbol: phi1[0] = initialPhase + D(d0[0], d1[0]) and
// phi1[i] = phi1[i-1] + D(d0[i], d1[i]) + (i odd ? pi : 0), with D: 00 -> 0,
// 01 -> pi/2, 11 -> pi, 10 -> -pi/2 (angles in radians, not reduced).
// d0 and d1 must have equal lengths.
RVec Dot11b_CCK_DQPSK(const Bits& d0, const Bits& d1, double initialPhase);

// The 8 chips, first first: e^{j(p1+p2+p3+p4)}, e^{j(p1+p3+p4)},
// e^{j(p1+p2+p4)}, -e^{j(p1+p4)}, e^{j(p1+p2+p3)}, e^{j(p1+p3)}, -e^{j(p1+p2)},
// e^{j p1}.
std::array<cplx, 8> Dot11b_CCKcodeword(double phi1, double phi2, double phi3, double phi4);

}  // namespace tarvio
