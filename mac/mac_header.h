// The MAC header model and its bit stream.
#pragma once

#include <string>

#include "records/records.h"
#include "runtime/types.h"

namespace tarvio {

// The header bits of the seven fields in their fixed order: each active
// field's octets most significant first, each octet least significant bit
// first; inactive fields are left out.
Bits MacHeaderBits(const MacHeader& header);
// Rebuilds header.BitStream from the fields.
void RecalcBitStream(MacHeader& header);
// Rebuilds the bit stream of the header being edited (state().MAChdr).
void RecalcBitStream();
// Resets state().MAChdr: all fields active with value 0, widths
// 2/2/6/6/6/2/6 bytes, BitStream 240 zeros.
void defaultMAChdr();

// The field of the header with the given name (FrameCntrl, DurationID,
// Address1..Address4, SeqCntrl), or null.
MacField* mac_field(MacHeader& header, const std::string& name);

// The field entry rule: the text is read as hexadecimal (digits 0-9, a-f,
// A-F) and clamped to 0 .. 2^(8*Size)-1. Returns false, leaving the field
// unchanged, when the text is not a hexadecimal number.
bool enter_hex_field(MacField& field, const std::string& text);

}  // namespace tarvio
