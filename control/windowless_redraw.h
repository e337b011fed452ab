// The record changes that the main window's redraws make besides drawing,
// for hosts that run without a window: the format family's set-up after a
// data-rate change, and the lengths shown in the payload group.
#pragma once

#include <optional>

#include "records/records.h"

namespace tarvio {

// The redraw of the format-dependent controls: the playback sample rate; for
// format 1 the OFDM set-up (scrambler "On" at most, preamble type 2,
// mirrored spectrum when unattended); for formats 2 and 3 the DSSS set-up
// (the long preamble unless a DSSS preamble is chosen), and PBCC at 22 and
// 33 Mbit/s; then update_lengths.
void redraw_format_records(Parameters& p, SigGenSettings& sg, const std::optional<double>& dontSetSampleRate);

// totalLength = dataLength + the active MAC header and FCS bytes (for
// formats 2 and 3 only in framed mode) and ProjectedLength = the size
// estimate of the whole parameter set.
void update_lengths(Parameters& p);

}  // namespace tarvio
