// Sequence and fragment numbering inside the MAC header bit row: where the
// two numbers sit, and how the calculation steps them from packet to packet.
#pragma once

#include <cstddef>

#include "records/records.h"

namespace tarvio {

// Bit positions (0-based, ends inclusive) of the 4-bit fragment number and
// the 12-bit sequence number of the Sequence Control field (IEEE 802.11
// 7.1.3.4) in `MACheader.Contents.BitStream`. The header row holds the active
// fields in the order FrameCntrl, DurationID, Address1, Address2, Address3,
// SeqCntrl, Address4, so the fragment number starts after
// 8 * (sum of Active * Size of the first five fields) bits.
struct SeqCtrlOffsets {
  size_t osSeqBgn = 0, osSeqEnd = 0;    // 12 bits, least significant first
  size_t osFragBgn = 0, osFragEnd = 0;  // 4 bits, least significant first
};

SeqCtrlOffsets calcSeqCtnrlOffsets(const MacHeader& header);

// Reads bits osSeqBgn..osSeqEnd of the header row as an unsigned number,
// least significant bit first, adds 1 (a result above 4095 becomes 1, not 0)
// and writes it back in the same 12 bits. Throws std::out_of_range when the
// bits lie beyond the header row.
void incrementSequenceControl(MacHeader& header, size_t osSeqBgn, size_t osSeqEnd);
// The same on the 4 fragment bits; a result above 15 becomes 1.
void incrementFragNum(MacHeader& header, size_t osFragBgn, size_t osFragEnd);

// `maxDataLen`: 4095 minus the active MAC header and FCS bytes for format 1,
// else 2312; then `dataLength` is rounded and held within the limits of the
// data-length entry (at most maxDataLen, at least 1 for payload sources 5 and
// 6, else 0).
void setMaxDataLen(Parameters& p);

}  // namespace tarvio
