// EVM per OFDM data sub-carrier and per DATA symbol, or per block of 1000
// DSSS chips, from the points a receiver kept: what an analyser tabulates
// and plots of one packet.
#pragma once

#include <vector>

#include "verify/packet_points.h"

namespace tarvio::verify {

struct EvmRows {
  // OFDM: the rms EVM (%) of each data sub-carrier, at sub-carrier numbers
  // `carriers` (-26 .. 26 without 0 and the pilots; a sub-carrier that
  // carries nothing is left out), and of each DATA symbol. DSSS: `carriers`
  // empty; `perSymbol` holds each block of 1000 chips (the last one
  // shorter). All normalised to the mean power of the points sent, so that
  // the mean of their squares is the square of the rms EVM over the packet.
  std::vector<double> carriers, perCarrier, perSymbol;
  bool empty() const { return perSymbol.empty(); }
};

EvmRows evm_rows(const PacketPoints& pts);

// 20 log10(percent / 100), -inf for 0.
double evm_percent_to_db(double percent);

}  // namespace tarvio::verify
