// The two input drivers of the export plug-in: samples from memory, walked
// in chunks of 50000, and samples from the packet temporary file, one packet
// per chunk. Both feed a not yet begun TwoPassExportWriter and report
// whether every step succeeded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "export_writer.h"

namespace tarvio {

inline constexpr std::size_t kExportChunkSamples = 50000;

// One byte per marker value: the value truncated to an integer (values that
// truncate to 0 give 0; other values outside 1..255 give 1, so that a set
// marker never wraps to 0; NaN gives 0).
void marker_values_to_bytes(const double* values, std::size_t count, uint8_t* out);

// Mode 1: n samples (im may be null for a real waveform), markers rows x n
// column-major. Calls BeginKnown(rows, n, peak) and WriteChunk per chunk; an empty
// waveform is written as one empty last chunk so that the file is complete.
bool export_from_memory(TwoPassExportWriter& w, const double* re, const double* im, std::size_t n,
                        const double* markers, std::size_t rows);

// Mode 2: num_pkts packets of pkt_size samples from the packet file (each
// value the bitwise complement of its little-endian IEEE double, a packet's
// I values then its Q values); markers rows x pkt_size, the same for every
// packet. False when the file cannot be opened or holds fewer packets.
// `peak` is the packet file's peak when the caller kept it while writing the
// file (negative when not known: one reading pass finds it); either way the
// output is written in one pass and is the two-pass writer's file. With
// `lanes` > 1 that many threads each read and encode a run of packets, in
// pieces of at most 8192 samples; the writer's encoding hooks are then
// called from several threads, out of order, which the plain encoding
// allows.
bool export_from_packets(TwoPassExportWriter& w, const std::string& packet_file, std::size_t pkt_size,
                         std::size_t num_pkts, const double* markers, std::size_t rows, double peak = -1,
                         std::size_t lanes = 1);

}  // namespace tarvio
