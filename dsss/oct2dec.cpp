// Octal digits written as a decimal number to their value, for
// convolutional-code generators.
#include "dsss/oct2dec.h"

#include <cmath>
#include <stdexcept>

#include "dsss/dsss_values.h"
#include "runtime/registry.h"

namespace tarvio {

double oct2dec(double octalDigits) {
  if (!dsss_is_whole(octalDigits) || octalDigits < 0 || octalDigits > 1e15)
    throw std::invalid_argument("oct2dec needs a non-negative whole number of octal digits, not " +
                                Num2Str(octalDigits) + ".");
  uint64_t digits = static_cast<uint64_t>(octalDigits);
  uint64_t value = 0, scale = 1;
  while (digits != 0) {
    const uint64_t d = digits % 10;
    if (d > 7)
      throw std::invalid_argument("oct2dec: " + Num2Str(octalDigits) + " is not an octal number (digits 0 to 7).");
    value += d * scale;
    scale *= 8;
    digits /= 10;
  }
  return static_cast<double>(value);
}

namespace {

std::vector<Value> oct2dec_op(const Args& in, int) {
  const Value& v = arg_required(in, 0, "oct2dec");
  std::vector<double> out = v.to_reals();
  for (double& x : out) x = oct2dec(x);
  return {Value::real(v.rows(), v.cols(), std::move(out))};
}

}  // namespace

TARVIO_OP_VARARGS("Oct2dec", 1, 1, oct2dec_op, "d = Oct2dec(octal): octal digits written as decimal to their value");
TARVIO_OP("oct2dec", 1, 1, oct2dec_op, "d = oct2dec(octal): octal digits written as decimal to their value");

}  // namespace tarvio
