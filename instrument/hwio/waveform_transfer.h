// Codes 9 and 20 of the transport module: the waveform transfer. Samples are
// scaled by the peak to full range, sent as an IEEE 488.2 definite-length
// block of interleaved big-endian 16-bit I/Q values, followed by the marker
// block and a completion query (docs/instrument-transfer.md).
#pragma once

#include <vector>

#include "instrument/hwio/module_args.h"

namespace tarvio::hwio_module {

// Code 20: (config, I/Q row, markers M x N, "norm", scale, name).
std::vector<Value> transfer_from_memory(const ArgList& a);
// Code 9: (config, packet file, packet size, packets, marker rows, peak,
// "norm", scale, name); streams from the packet file in blocks.
std::vector<Value> transfer_from_packet_file(const ArgList& a);

}  // namespace tarvio::hwio_module
