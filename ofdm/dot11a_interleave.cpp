// Two-step permutation interleaver of the OFDM symbols and its registered
// operation.
#include "ofdm/dot11a_interleave.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "runtime/registry.h"

namespace tarvio {

void dot11a_interleave_block(const uint8_t* in, size_t n, uint8_t* out) {
  if (n != 48 && n != 96 && n != 192 && n != 288)
    throw std::invalid_argument("Dot11a_Interleave: a block holds 48, 96, 192 or 288 coded bits, got " +
                                std::to_string(n));
  const size_t s = std::max<size_t>(n / 48 / 2, 1);
  for (size_t k = 0; k < n; ++k) {
    const size_t i = (n / 16) * (k % 16) + k / 16;
    const size_t j = s * (i / s) + (i + n - (16 * i) / n) % s;
    out[j] = in[k];
  }
}

Bits Dot11a_Interleave(const Bits& in) {
  Bits out(in.size());
  dot11a_interleave_block(in.data(), in.size(), out.data());
  return out;
}

TARVIO_OP(
    "Dot11a_Interleave", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(Dot11a_Interleave(arg_required(in, 0, "Dot11a_Interleave").to_bits()))};
    },
    "out = Dot11a_Interleave(in): 802.11a interleaver of one symbol of 48/96/192/288 coded bits");

}  // namespace tarvio
