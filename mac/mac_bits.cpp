// Integer-to-bits conversion, octet bit reversal and the hexadecimal text of
// a header field value.
#include "mac/mac_bits.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "runtime/memory_check.h"
#include "runtime/registry.h"

namespace tarvio {

Bits BitVector(double x, double len, const std::string& orientation) {
  if (!std::isfinite(x) || x != std::floor(x)) throw std::runtime_error("Integer required");
  if (x < 0) throw std::invalid_argument("BitVector: x must be a non-negative integer.");
  Bits digits;  // least significant first
  for (double v = x; v > 0; v = std::floor(v / 2)) digits.push_back(static_cast<uint8_t>(std::fmod(v, 2.0)));
  // Row length max(len, ceil(log2(x+1))); the digit count is exactly the
  // second term.
  const double want = std::isfinite(len) && len > 0 ? std::floor(len) : 0.0;
  if (want > 1e9) throw std::invalid_argument("BitVector: the length is too large.");
  digits.resize(std::max(digits.size(), static_cast<size_t>(want)), 0);
  if (orientation == "left-msb") std::reverse(digits.begin(), digits.end());
  return digits;
}

Bits ByteSwap(const Bits& databits) {
  if (databits.size() % 8 != 0)
    throw std::invalid_argument("ByteSwap: the bit row length (" + std::to_string(databits.size()) +
                                ") must be a multiple of 8.");
  Bits out(databits.size());
  for (size_t o = 0; o < databits.size(); o += 8)
    for (size_t j = 0; j < 8; ++j) out[o + j] = databits[o + 7 - j];
  return out;
}

std::string HexString(double num, double size) {
  if (!std::isfinite(num) || num < 0 || num != std::floor(num))
    throw std::invalid_argument("HexString: the value must be a non-negative integer.");
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (double v = num; v > 0; v = std::floor(v / 16)) s.push_back(digits[static_cast<int>(std::fmod(v, 16.0))]);
  if (s.empty()) s = "0";
  const double width = std::isfinite(size) && size > 0 ? std::ceil(2 * size) : 0;  // 1.5 bytes: 3 digits
  if (static_cast<double>(s.size()) < width) s.append(static_cast<size_t>(width) - s.size(), '0');
  std::reverse(s.begin(), s.end());
  return s;
}

// ---- registered operations ----------------------------------------------

static double bitvector_x(const Value& v) {
  if (!v.is_numeric() || v.numel() != 1) throw std::runtime_error("Integer required");
  return v.to_double();
}

TARVIO_OP(
    "BitVector", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      if (in.empty()) throw std::runtime_error("Incorrect number of parameters.");
      const double x = bitvector_x(in[0]);
      if (std::isfinite(x) && x != std::floor(x)) throw std::runtime_error("Integer required");
      // One argument: len = ceil(log2(x)) (minus infinity for 0, so no padding).
      const double len = in.size() >= 2 ? in[1].to_double() : std::ceil(std::log2(x));
      if (std::isfinite(len) && len > 0) check_memory("BitVector", std::floor(len), 9);
      const std::string orient = in.size() >= 3 ? in[2].str() : "right-msb";
      return {Value::row(BitVector(x, len, orient))};
    },
    "output = BitVector(x, len, orientation): binary digits of x, LSB first or (\"left-msb\") MSB first");

TARVIO_OP(
    "ByteSwap", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(ByteSwap(arg_required(in, 0, "ByteSwap").to_bits()))};
    },
    "bits = ByteSwap(databits): reverses the bit order inside every octet");

TARVIO_OP(
    "HexString", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const double size = arg_required(in, 1, "HexString").to_double();
      if (std::isfinite(size) && size > 0) check_memory("HexString", std::ceil(2 * size), 2);  // digits, reversed
      return {Value::text(HexString(arg_required(in, 0, "HexString").to_double(), size))};
    },
    "text = HexString(num, size): upper-case hexadecimal padded to 2*size digits");

}  // namespace tarvio
