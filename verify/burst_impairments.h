// What a receiver measured of the impairments of one burst: carrier and
// symbol-clock offsets, IQ imbalance, DC (LO) leakage and the SNR seen in
// the training fields. NaN marks a figure the burst does not allow (IQ
// imbalance of a burst with real-valued chips only, say).
#pragma once

#include <limits>

namespace tarvio::verify {

struct BurstImpairments {
  static constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
  double cfoHz = 0;              // carrier frequency offset
  double clockPpm = kUnknown;    // symbol-clock error, positive when the symbols come faster than nominal
  double iqGainDb = kUnknown;    // I branch amplitude over the Q branch's
  double iqPhaseDeg = kUnknown;  // 90 degrees less the angle between the branches
  double dcDbc = kUnknown;       // DC offset power over the burst's power
  double snrDb = kUnknown;       // from the training fields
};

}  // namespace tarvio::verify
