// Feed-forward convolutional encoder with octal generators.
#include "dsss/convol_encoder.h"

#include <stdexcept>

#include "dsss/dsss_values.h"
#include "dsss/oct2dec.h"
#include "runtime/registry.h"

namespace tarvio {

Bits ConvolEncoder(const Bits& dataIn, double k, const std::vector<double>& genMatrix) {
  if (!dsss_is_whole(k) || k < 1 || k > 32)
    throw std::invalid_argument("ConvolEncoder: the register length must be a whole number from 1 to 32, not " +
                                Num2Str(k) + ".");
  if (genMatrix.empty()) throw std::invalid_argument("ConvolEncoder needs at least one generator.");
  const size_t regLen = static_cast<size_t>(k);
  std::vector<uint64_t> masks;  // bit i = coefficient of D^i
  for (double g : genMatrix) {
    const uint64_t m = static_cast<uint64_t>(oct2dec(g));
    if (regLen < 64 && (m >> regLen) != 0)
      throw std::invalid_argument("ConvolEncoder: generator " + Num2Str(g) + " does not fit in " + Num2Str(k) +
                                  " register bits.");
    masks.push_back(m);
  }
  Bits out(dataIn.size() * masks.size());
  uint64_t history = 0;  // bit i = dataIn[n - i]; starts in the all-zero state
  const uint64_t keep = regLen >= 64 ? ~uint64_t{0} : ((uint64_t{1} << regLen) - 1);
  for (size_t n = 0; n < dataIn.size(); ++n) {
    history = ((history << 1) | (dataIn[n] != 0)) & keep;
    for (size_t g = 0; g < masks.size(); ++g)
      out[n * masks.size() + g] = static_cast<uint8_t>(__builtin_parityll(history & masks[g]));
  }
  return out;
}

TARVIO_OP(
    "ConvolEncoder", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "ConvolEncoder";
      return {Value::row(ConvolEncoder(arg_required(in, 0, op).to_bits(), arg_required(in, 1, op).to_double(),
                                       arg_required(in, 2, op).to_reals()))};
    },
    "coded = ConvolEncoder(dataIn, k, genMatrix): convolutional code with octal generators, interleaved");

}  // namespace tarvio
