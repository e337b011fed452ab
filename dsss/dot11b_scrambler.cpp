// Scrambling of a complete 802.11b frame row by scrambler mode: off, on, or
// only over the preamble.
#include "dsss/dot11b_scrambler.h"

#include <algorithm>
#include <stdexcept>

#include "dsss/dot11b_preamble.h"
#include "dsss/dsss_values.h"
#include "dsss/multi_scramble_740mx.h"
#include "runtime/registry.h"

namespace tarvio {

Bits Scrambler_7bit_741(const Bits& input, const Bits& initState) { return multi_scramble_740mx(input, initState); }

Bits Dot11b_Scrambler(double scrambleActive, double preambleType, const Bits& frame) {
  if (scrambleActive != 0 && scrambleActive != 1 && scrambleActive != 2)
    throw std::invalid_argument("Unsupported scrambler mode " + Num2Str(scrambleActive) +
                                ": allowed are 0 (off), 1 (on) and 2 (preamble only).");
  const Bits seed = dot11b_scrambler_seed(preambleType);  // checks the preamble type
  if (scrambleActive == 0) return frame;
  if (scrambleActive == 1) return Scrambler_7bit_741(frame, seed);
  const size_t n = std::min(dot11b_preamble_size(preambleType), frame.size());
  Bits out = Scrambler_7bit_741(Bits(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(n)), seed);
  out.insert(out.end(), frame.begin() + static_cast<std::ptrdiff_t>(n), frame.end());
  return out;
}

TARVIO_OP(
    "Dot11b_Scrambler", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11b_Scrambler";
      return {Value::row(Dot11b_Scrambler(arg_required(in, 0, op).to_double(), arg_required(in, 1, op).to_double(),
                                          arg_required(in, 2, op).to_bits()))};
    },
    "out = Dot11b_Scrambler(scrambleActive, preambleType, frame): 0 off, 1 on, 2 preamble only");

TARVIO_OP(
    "Scrambler_7bit_741", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(Scrambler_7bit_741(arg_required(in, 0, "Scrambler_7bit_741").to_bits(),
                                            arg_required(in, 1, "Scrambler_7bit_741").to_bits()))};
    },
    "out = Scrambler_7bit_741(input, initState): 802.11b scrambling from a 7-bit state");

}  // namespace tarvio
