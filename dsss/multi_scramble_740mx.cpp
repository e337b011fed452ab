// The IEEE 802.11b self-synchronising scrambler G(z) = z^-7 + z^-4 + 1 over a
// bit row, in the role of the outside scrambler module.
#include "dsss/multi_scramble_740mx.h"

#include <stdexcept>
#include <string>

#include "runtime/registry.h"

namespace tarvio {

Bits multi_scramble_740mx(const Bits& input, const Bits& initState) {
  if (initState.size() != 7)
    throw std::invalid_argument("The scrambler state must have 7 bits, not " + std::to_string(initState.size()) + ".");
  // Register as seven bits of one integer: bit i holds delay element Z(i+1).
  unsigned reg = 0;
  for (size_t i = 0; i < 7; ++i) reg |= static_cast<unsigned>(initState[i] != 0) << i;
  Bits out(input.size());
  for (size_t n = 0; n < input.size(); ++n) {
    const unsigned s = (input[n] != 0) ^ ((reg >> 3) & 1u) ^ ((reg >> 6) & 1u);
    out[n] = static_cast<uint8_t>(s);
    reg = ((reg << 1) | s) & 0x7Fu;
  }
  return out;
}

namespace {

std::vector<Value> multi_scramble_op(const Args& in, int) {
  return {Value::row(multi_scramble_740mx(arg_required(in, 0, "multi_scramble_740mx").to_bits(),
                                          arg_required(in, 1, "multi_scramble_740mx").to_bits()))};
}

}  // namespace

TARVIO_OP_VARARGS("Multi_scramble_740mx", 2, 1, multi_scramble_op,
                  "out = Multi_scramble_740mx(bits, initState): 802.11b scrambler from a 7-bit state");
TARVIO_OP("multi_scramble_740mx", 2, 1, multi_scramble_op,
          "out = multi_scramble_740mx(bits, initState): 802.11b scrambler from a 7-bit state");

}  // namespace tarvio
