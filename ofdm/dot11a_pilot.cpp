// Pilot polarity sequence and its registered operation.
#include "ofdm/dot11a_pilot.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "ofdm/dot11a_scramble.h"
#include "runtime/registry.h"

namespace tarvio {

double Dot11a_Pilot(double index) {
  static const Bits seq = Dot11a_Scramble(Bits(127, 0), Bits(7, 1));
  if (!std::isfinite(index) || index != std::floor(index))
    throw std::invalid_argument("Dot11a_Pilot: the symbol index must be a whole number, got " + std::to_string(index));
  const double m = std::fmod(index, 127.0);
  const size_t k = static_cast<size_t>(m < 0 ? m + 127.0 : m);
  return seq[k] ? -1.0 : 1.0;
}

TARVIO_OP(
    "Dot11a_Pilot", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value(Dot11a_Pilot(arg_required(in, 0, "Dot11a_Pilot").to_double()))};
    },
    "pilot = Dot11a_Pilot(index): pilot polarity (+1/-1) of OFDM symbol index (0 = SIGNAL)");

}  // namespace tarvio
