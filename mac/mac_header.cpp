// The MAC header bit stream: each active field as its value's octets, most
// significant octet first and least significant bit first within an octet.
#include "mac/mac_header.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>

#include "mac/mac_bits.h"
#include "records/state.h"
#include "runtime/number_text.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

// The fields in header order (the order of IEEE 802.11 data frames).
constexpr const char* kFieldOrder[] = {"FrameCntrl", "DurationID", "Address1", "Address2",
                                       "Address3",   "SeqCntrl",   "Address4"};

const MacField& field_at(const MacHeader& h, const char* name) { return *mac_field(const_cast<MacHeader&>(h), name); }

}  // namespace

MacField* mac_field(MacHeader& h, const std::string& name) {
  if (name == "FrameCntrl") return &h.FrameCntrl;
  if (name == "DurationID") return &h.DurationID;
  if (name == "Address1") return &h.Address1;
  if (name == "Address2") return &h.Address2;
  if (name == "Address3") return &h.Address3;
  if (name == "SeqCntrl") return &h.SeqCntrl;
  if (name == "Address4") return &h.Address4;
  return nullptr;
}

Bits MacHeaderBits(const MacHeader& header) {
  Bits out;
  for (const char* name : kFieldOrder) {
    const MacField& f = field_at(header, name);
    if (f.Active == 0) continue;
    if (!(f.Size >= 1 && f.Size <= 6) || f.Size != std::floor(f.Size))
      throw std::invalid_argument(std::string("MAC header field ") + name + ": width " + std::to_string(f.Size) +
                                  " is not a whole number of bytes from 1 to 6.");
    const double limit = std::ldexp(1.0, static_cast<int>(8 * f.Size));
    if (!(f.Contents >= 0 && f.Contents < limit) || f.Contents != std::floor(f.Contents))
      throw std::invalid_argument(std::string("MAC header field ") + name + ": value " + std::to_string(f.Contents) +
                                  " is not an integer that fits in " + std::to_string(static_cast<int>(f.Size)) +
                                  " bytes.");
    const Bits bits = ByteSwap(BitVector(f.Contents, 8 * f.Size, "left-msb"));
    out.insert(out.end(), bits.begin(), bits.end());
  }
  return out;
}

void RecalcBitStream(MacHeader& header) {
  const Bits bits = MacHeaderBits(header);
  header.BitStream.assign(bits.begin(), bits.end());
}

void RecalcBitStream() { RecalcBitStream(state().MAChdr); }

void defaultMAChdr() { state().MAChdr = MacHeader{}; }

bool enter_hex_field(MacField& field, const std::string& text) {
  const std::optional<double> v = parse_hex(text);
  if (!v) return false;
  // Fields are at most 6 octets, far below where parse_hex caps its value.
  const double max = std::ldexp(1.0, static_cast<int>(8 * field.Size)) - 1;
  field.Contents = std::min(*v, max);
  return true;
}

// ---- registered operations ----------------------------------------------

TARVIO_OP(
    "defaultMAChdr", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      defaultMAChdr();
      return {};
    },
    "defaultMAChdr(): resets the edited MAC header to its defaults");

TARVIO_OP(
    "RecalcBitStream", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      RecalcBitStream();
      return {};
    },
    "RecalcBitStream(): rebuilds the edited MAC header's bit stream from its fields");

}  // namespace tarvio
