// The IEEE 802.11 frame check sequence: bits to octets, zlib's CRC-32, and
// the 32-bit value back to bits in transmission order.
#include "mac/fcs.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/registry.h"

namespace tarvio {

uint32_t ccitt_crc32mx(const std::vector<uint8_t>& octets) {
  uLong crc = crc32(0L, Z_NULL, 0);
  const Bytef* p = octets.data();
  size_t left = octets.size();
  while (left > 0) {  // zlib takes 32-bit lengths
    const uInt chunk = static_cast<uInt>(std::min<size_t>(left, 1u << 30));
    crc = crc32(crc, p, chunk);
    p += chunk;
    left -= chunk;
  }
  return static_cast<uint32_t>(crc);
}

Bits CCITT_CRC32(const Bits& input) {
  if (input.size() % 8 != 0)
    throw std::invalid_argument("CCITT_CRC32: the bit row length (" + std::to_string(input.size()) +
                                ") must be a multiple of 8.");
  std::vector<uint8_t> octets(input.size() / 8);
  for (size_t k = 0; k < octets.size(); ++k) {
    unsigned v = 0;
    for (unsigned j = 0; j < 8; ++j) v |= (input[8 * k + j] ? 1u : 0u) << j;  // first bit is the LSB
    octets[k] = static_cast<uint8_t>(v);
  }
  const uint32_t crc = ccitt_crc32mx(octets);
  Bits out(32);
  for (unsigned i = 0; i < 32; ++i) out[i] = static_cast<uint8_t>((crc >> i) & 1u);
  return out;
}

// ---- registered operations ----------------------------------------------

TARVIO_OP(
    "CCITT_CRC32", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(CCITT_CRC32(arg_required(in, 0, "CCITT_CRC32").to_bits()))};
    },
    "output = CCITT_CRC32(input): the 32 FCS bits of a bit row of whole octets, LSB first");

TARVIO_OP(
    "Dot11_CalcMACfcs", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(Dot11_CalcMACfcs(arg_required(in, 0, "Dot11_CalcMACfcs").to_bits()))};
    },
    "fcs = Dot11_CalcMACfcs(data): the IEEE 802.11 frame check sequence bits of a packet");

TARVIO_OP_VARARGS(
    "Ccitt_crc32mx", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const std::vector<double> vals = arg_required(in, 0, "Ccitt_crc32mx").to_reals();
      std::vector<uint8_t> octets(vals.size());
      for (size_t i = 0; i < vals.size(); ++i) {
        if (!(vals[i] >= 0 && vals[i] <= 255) || vals[i] != std::floor(vals[i]))
          throw std::invalid_argument("Ccitt_crc32mx: octet " + std::to_string(i + 1) +
                                      " is not an integer from 0 to 255.");
        octets[i] = static_cast<uint8_t>(vals[i]);
      }
      return {Value(static_cast<double>(ccitt_crc32mx(octets)))};
    },
    "crc = Ccitt_crc32mx(octets): CRC-32 of a column of octet values as a non-negative integer");

}  // namespace tarvio
