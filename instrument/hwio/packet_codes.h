// Codes 10 and 11 of the transport module: empty the packet temporary file,
// append one packet (samples and markers) and return its peak.
#pragma once

#include <vector>

#include "instrument/hwio/module_args.h"

namespace tarvio::hwio_module {

// Code 10: (empty text, packet file name). Creates both files empty.
std::vector<Value> empty_packet_file(const ArgList& a);
// Code 11: (empty text, I/Q row, markers M x N, packet file name). Returns
// the packet's peak, the largest |I| or |Q| of its samples.
std::vector<Value> append_packet(const ArgList& a);

}  // namespace tarvio::hwio_module
