// The IEEE 802.11b PLCP preamble and the scrambler seed tied to its type.
#include "dsss/dot11b_preamble.h"

#include <stdexcept>
#include <string>

#include "dsss/dsss_values.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

// Start-of-frame delimiter 0xF3A0, least significant bit first.
constexpr uint8_t kLongSfd[16] = {0, 0, 0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 1, 1, 1, 1};

int preamble_code(double preambleType) {
  if (preambleType == 0) return 0;
  if (preambleType == 1) return 1;
  throw std::invalid_argument("Unsupported DSSS preamble type " + Num2Str(preambleType) +
                              ": allowed are 0 (long) and 1 (short).");
}

}  // namespace

size_t dot11b_preamble_size(double preambleType) { return preamble_code(preambleType) == 0 ? 144 : 72; }

Bits dot11b_scrambler_seed(double preambleType) {
  if (preamble_code(preambleType) == 0) return {1, 1, 0, 1, 1, 0, 0};
  return {0, 0, 1, 1, 0, 1, 1};
}

Bits Dot11b_PREAMBLE(double preambleType) {
  Bits out;
  if (preamble_code(preambleType) == 0) {
    out.assign(128, 1);
    out.insert(out.end(), std::begin(kLongSfd), std::end(kLongSfd));
  } else {
    // Short SYNC: 56 zeros; short SFD: the long SFD reversed in time (0x05CF).
    out.assign(56, 0);
    out.insert(out.end(), std::rbegin(kLongSfd), std::rend(kLongSfd));
  }
  return out;
}

TARVIO_OP(
    "Dot11b_PREAMBLE", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(Dot11b_PREAMBLE(arg_required(in, 0, "Dot11b_PREAMBLE").to_double()))};
    },
    "bits = Dot11b_PREAMBLE(preambleType): SYNC and SFD, 0 long (144 bits), 1 short (72 bits)");

}  // namespace tarvio
