// The points a receiver measured its EVM on, kept for the analysis views
// (constellation, EVM per sub-carrier, per symbol or per chip block) when
// asked for: the plain verification keeps none, so that its speed and its
// report stay as they are.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio::verify {

struct PacketPoints {
  // The received points after every correction the EVM is measured after,
  // and the points they were decided or known to be, in the same scale
  // (OFDM: the constellation's, mean power 1; DSSS: unit magnitude).
  // OFDM: 48 per DATA symbol, data sub-carrier k of symbol s at 48 s + k;
  // a sub-carrier left out of the EVM (it carries nothing) has a NaN point.
  // DSSS: one per despread symbol or chip from the SFD on, in order.
  CVec measured, ideal;
  size_t perSymbol = 0;  // OFDM 48, DSSS 0 (one row of chips)
  bool empty() const { return measured.empty(); }
};

}  // namespace tarvio::verify
