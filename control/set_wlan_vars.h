// The unattended set-up from the two fixed files of the working folder:
// the parameter file "WLAN_varsB.mat" and the number list "WLAN_varsB.txt"
// (data rate, carrier in GHz, data length, the seven MAC header values and
// their seven switches).
#pragma once

#include <vector>

#include "records/records.h"

namespace tarvio {

// The MAC header of numbers 4..17 of the list (0-based 3..16): values in
// the order FrameCntrl, DurationID, SeqCntrl, Address1..Address4, then
// their Active switches in the same order. Each value is rounded and held
// within its field's size (0 .. 2^(8 Size) - 1), as the header dialog holds
// a typed value, so that an oversized number cannot lengthen the header.
// The bit stream is built.
MacHeader wlan_vars_header(const std::vector<double>& s);

// Reads and checks the number list first (at least 17 numbers, a data rate
// of the data-rate list), then loads "WLAN_varsB.mat"; any failure throws
// std::runtime_error with a message naming the file and the reason, and
// changes nothing. Then: SetFaceless; MAChdr and parameters.MACheader take
// the header (and its length in bytes); the data rate is applied as the
// data-rate list applies it (UpdateDataRate); dataLength = s(3); the
// carrier = s(2) GHz; the lengths that follow from the set are updated.
void SetWLAN_vars();

}  // namespace tarvio
