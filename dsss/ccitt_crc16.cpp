// The CRC-16 of the IEEE 802.11b PLCP header, computed with the shared
// shift-register checksum in transmission order.
#include "dsss/ccitt_crc16.h"

#include "mac/lfsr.h"
#include "runtime/registry.h"

namespace tarvio {

Bits CCITT_CRC16(const Bits& input) {
  // Generator x^16 + x^12 + x^5 + 1; entry k is the coefficient of x^k.
  static const std::vector<double> generator = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1};
  // Register preset to ones; the checksum comes from its x^15 coefficient down.
  Bits crc = LfsrChecksum(generator, Bits(16, 1), input);
  for (uint8_t& b : crc) b = static_cast<uint8_t>(1 - (b & 1u));  // ones' complement
  return crc;
}

TARVIO_OP(
    "CCITT_CRC16", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(CCITT_CRC16(arg_required(in, 0, "CCITT_CRC16").to_bits()))};
    },
    "crc = CCITT_CRC16(bits): 16-bit CRC of the 802.11b PLCP header");

}  // namespace tarvio
