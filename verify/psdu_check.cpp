// Octets and the frame check sequence of a received PSDU (zlib's CRC-32 is
// the IEEE 802.3 CRC the MAC uses).
#include "verify/psdu_check.h"

#include <zlib.h>

namespace tarvio::verify {

std::vector<uint8_t> bits_to_octets(const Bits& bits) {
  std::vector<uint8_t> out(bits.size() / 8, 0);
  for (size_t i = 0; i < out.size() * 8; ++i) out[i / 8] |= static_cast<uint8_t>((bits[i] & 1u) << (i % 8));
  return out;
}

bool fcs_good(const Bits& psdu) {
  const std::vector<uint8_t> o = bits_to_octets(psdu);
  if (o.size() < 4 || psdu.size() % 8 != 0) return false;
  const size_t n = o.size() - 4;
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), o.data(), static_cast<uInt>(n));
  const uint32_t sent = static_cast<uint32_t>(o[n]) | static_cast<uint32_t>(o[n + 1]) << 8 |
                        static_cast<uint32_t>(o[n + 2]) << 16 | static_cast<uint32_t>(o[n + 3]) << 24;
  return static_cast<uint32_t>(crc) == sent;
}

}  // namespace tarvio::verify
