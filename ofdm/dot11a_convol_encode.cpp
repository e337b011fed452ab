// Convolutional encoder and puncturing of the OFDM bit stream, and its
// registered operation.
#include "ofdm/dot11a_convol_encode.h"

#include <cmath>

#include "runtime/registry.h"

namespace tarvio {

namespace {

// Removes the 1-based positions first, first + step, ... from `row`.
void delete_every(Bits& row, size_t first, size_t step) {
  size_t w = 0;
  for (size_t i = 0; i < row.size(); ++i) {
    const size_t pos = i + 1;
    if (pos >= first && (pos - first) % step == 0) continue;
    row[w++] = row[i];
  }
  row.resize(w);
}

}  // namespace

Bits Dot11a_ConvolEncode(const Bits& input, double rate) {
  // Taps of g0 = 1011011 and g1 = 1111001 on the delays 0..6.
  static const uint8_t g0[7] = {1, 0, 1, 1, 0, 1, 1};
  static const uint8_t g1[7] = {1, 1, 1, 1, 0, 0, 1};
  Bits out(2 * input.size());
  for (size_t n = 0; n < input.size(); ++n) {
    uint8_t a = 0, b = 0;
    for (size_t k = 0; k < 7 && k <= n; ++k) {
      const uint8_t x = input[n - k] ? 1 : 0;
      a ^= g0[k] & x;
      b ^= g1[k] & x;
    }
    out[2 * n] = a;
    out[2 * n + 1] = b;
  }
  if (std::abs(rate - 2.0 / 3.0) < 1e-6) {
    delete_every(out, 4, 4);
  } else if (std::abs(rate - 0.75) < 1e-6) {
    delete_every(out, 4, 6);
    delete_every(out, 4, 5);
  }
  return out;
}

TARVIO_OP(
    "Dot11a_ConvolEncode", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Bits x = arg_required(in, 0, "Dot11a_ConvolEncode").to_bits();
      const double rate = arg_required(in, 1, "Dot11a_ConvolEncode").to_double();
      return {Value::row(Dot11a_ConvolEncode(x, rate))};
    },
    "output = Dot11a_ConvolEncode(input, rate): K=7 (133,171) encoder, punctured to rate 2/3 or 3/4");

}  // namespace tarvio
