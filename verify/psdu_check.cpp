// Octets and the frame check sequence of a received PSDU (zlib's CRC-32 is
// the IEEE 802.3 CRC the MAC uses).
#include "verify/psdu_check.h"

#include <zlib.h>

namespace tarvio::verify {

namespace {
void pack(const uint8_t* bits, size_t octets, uint8_t* out) {
  for (size_t o = 0; o < octets; ++o) {
    const uint8_t* b = bits + 8 * o;
    unsigned v = 0;
    for (unsigned i = 0; i < 8; ++i) v |= (b[i] & 1u) << i;
    out[o] = static_cast<uint8_t>(v);
  }
}
}  // namespace

std::vector<uint8_t> bits_to_octets(const Bits& bits) {
  std::vector<uint8_t> out(bits.size() / 8);
  pack(bits.data(), out.size(), out.data());
  return out;
}

bool fcs_good(const Bits& psdu) {
  if (psdu.size() < 32 || psdu.size() % 8 != 0) return false;
  // Octets in a buffer each thread keeps.
  thread_local std::vector<uint8_t> o;
  o.resize(psdu.size() / 8);
  pack(psdu.data(), o.size(), o.data());
  const size_t n = o.size() - 4;
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), o.data(), static_cast<uInt>(n));
  const uint32_t sent = static_cast<uint32_t>(o[n]) | static_cast<uint32_t>(o[n + 1]) << 8 |
                        static_cast<uint32_t>(o[n + 2]) << 16 | static_cast<uint32_t>(o[n + 3]) << 24;
  return static_cast<uint32_t>(crc) == sent;
}

}  // namespace tarvio::verify
