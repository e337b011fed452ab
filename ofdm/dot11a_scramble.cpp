// Scrambler of the OFDM DATA field and its registered operation.
#include "ofdm/dot11a_scramble.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "runtime/registry.h"

namespace tarvio {

Bits Dot11a_Scramble(const Bits& msg, const Bits& initValue) {
  if (initValue.size() != 7)
    throw std::invalid_argument("Dot11a_Scramble: the initial register must hold 7 bits, got " +
                                std::to_string(initValue.size()));
  // s[0..6] = s1..s7
  uint8_t s[7];
  for (int k = 0; k < 7; ++k) s[k] = initValue[k] ? 1 : 0;
  Bits out(msg.size());
  for (size_t i = 0; i < msg.size(); ++i) {
    const uint8_t f = s[3] ^ s[6];
    out[i] = f ^ (msg[i] ? 1 : 0);
    for (int k = 6; k > 0; --k) s[k] = s[k - 1];
    s[0] = f;
  }
  return out;
}

Bits dot11a_seed_bits(double seed) {
  if (!(seed >= 0 && seed <= 127) || seed != std::floor(seed))
    throw std::invalid_argument("scrambler seed must be a whole number from 0 to 127, got " + std::to_string(seed));
  const unsigned v = static_cast<unsigned>(seed);
  Bits b(7);
  for (int k = 0; k < 7; ++k) b[k] = (v >> k) & 1u;
  return b;
}

TARVIO_OP(
    "Dot11a_Scramble", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Bits msg = arg_required(in, 0, "Dot11a_Scramble").to_bits();
      const Bits init = arg_required(in, 1, "Dot11a_Scramble").to_bits();
      return {Value::row(Dot11a_Scramble(msg, init))};
    },
    "output = Dot11a_Scramble(msg, initValue): x^7+x^4+1 scrambler, initValue = 7 register bits");

}  // namespace tarvio
