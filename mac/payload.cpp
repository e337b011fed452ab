// The payload bit row of a packet from the parameter set: constant and
// alternating patterns, PN9, PN15 or the user data file.
#include "mac/payload.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "mac/pn_generator.h"
#include "records/record_value.h"
#include "runtime/registry.h"

namespace tarvio {

Bits Dot11_GeneratePayload(const Parameters& p) {
  const double dl = p.dataLength;
  if (!(dl >= 0) || dl != std::floor(dl) || dl > 1e8)
    throw std::invalid_argument("Dot11_GeneratePayload: dataLength (" + std::to_string(dl) +
                                ") must be a non-negative whole number of bytes.");
  const size_t len = static_cast<size_t>(dl) * 8;
  const double code = p.dataSourceType;
  if (code == 1) return Bits(len, 0);
  if (code == 2) return Bits(len, 1);
  if (code == 3 || code == 4) {
    Bits b(len);
    for (size_t i = 0; i < len; ++i) b[i] = static_cast<uint8_t>((i % 2 == 1) == (code == 3));
    return b;
  }
  if (code == 5 || code == 6) {
    // A zero-length payload stays empty (the generator's minimum of one bit
    // would leave a partial octet).
    if (len == 0) return {};
    return PNgenerator(code == 5 ? 9.0 : 15.0, static_cast<double>(len));
  }
  if (code == 7) {
    const std::vector<double>& file = p.dataSourceBitstream;
    if (file.size() >= len) {
      // The whole file is used even when it holds more than dataLength bytes.
      Bits b(file.size());
      for (size_t i = 0; i < file.size(); ++i) b[i] = file[i] != 0 ? 1 : 0;
      return b;
    }
    // A file shorter than dataLength*8 bits is repeated cyclically up to
    // that length, so the packet has the requested size and carries only
    // file contents.
    if (file.empty())
      throw std::invalid_argument(
          "Dot11_GeneratePayload: no user data file is loaded (the user data bit row is empty).");
    Bits b(len);
    for (size_t i = 0; i < len; ++i) b[i] = file[i % file.size()] != 0 ? 1 : 0;
    return b;
  }
  throw std::invalid_argument("Dot11_GeneratePayload: dataSourceType " + std::to_string(code) +
                              " is not one of the source codes 1 to 7.");
}

TARVIO_OP(
    "Dot11_GeneratePayload", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Parameters p = record_from_value<Parameters>(arg_required(in, 0, "Dot11_GeneratePayload"), "parameters");
      return {Value::row(Dot11_GeneratePayload(p))};
    },
    "data = Dot11_GeneratePayload(parameters): the payload bit row, MSB first per octet");

}  // namespace tarvio
