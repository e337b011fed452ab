// Chunking drivers that feed the export writer from memory or from the
// packet temporary file.
#include "export_drivers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "export_files.h"
#include "export_layout.h"

namespace tarvio {

void marker_values_to_bytes(const double* values, std::size_t count, uint8_t* out) {
  for (std::size_t k = 0; k < count; ++k) {
    const double t = std::trunc(values[k]);
    if (std::isnan(t) || t == 0)
      out[k] = 0;
    else
      out[k] = (t >= 1 && t <= 255) ? uint8_t(t) : 1;
  }
}

bool export_from_memory(TwoPassExportWriter& w, const double* re, const double* im, std::size_t n,
                        const double* markers, std::size_t rows) {
  if (!w.Begin(uint32_t(rows))) return false;
  if (n == 0) return w.WriteChunk(nullptr, nullptr, nullptr, 0, true);
  const std::size_t chunk = std::min(n, kExportChunkSamples);
  std::vector<uint8_t> mbytes(chunk * rows);
  std::vector<double> zeros(im == nullptr ? chunk : 0, 0.0);
  for (std::size_t start = 0; start < n; start += chunk) {
    const std::size_t left = n - start;
    const std::size_t count = std::min(left, chunk);
    const bool last = left <= kExportChunkSamples;
    if (rows > 0) marker_values_to_bytes(markers + start * rows, count * rows, mbytes.data());
    const double* q = im != nullptr ? im + start : zeros.data();
    if (!w.WriteChunk(re + start, q, mbytes.data(), count, last)) return false;
  }
  return true;
}

bool export_from_packets(TwoPassExportWriter& w, const std::string& packet_file, std::size_t pkt_size,
                         std::size_t num_pkts, const double* markers, std::size_t rows) {
  std::vector<uint8_t> mbytes(pkt_size * rows);
  if (rows > 0) marker_values_to_bytes(markers, pkt_size * rows, mbytes.data());
  if (!w.Begin(uint32_t(rows))) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(packet_file.c_str(), "rb"), &std::fclose);
  if (!in) {
    w.fail("cannot open the packet file '" + packet_file + "': " + exportfiles::errno_text());
    return false;
  }
  if (num_pkts == 0 || pkt_size == 0) return w.WriteChunk(nullptr, nullptr, nullptr, 0, true);
  std::vector<uint8_t> raw(16 * pkt_size);
  std::vector<double> i(pkt_size), q(pkt_size);
  for (std::size_t p = 0; p < num_pkts; ++p) {
    if (std::fread(raw.data(), 1, raw.size(), in.get()) != raw.size()) {
      w.fail("the packet file '" + packet_file + "' holds " + std::to_string(p) + " of " + std::to_string(num_pkts) +
             " packets of " + std::to_string(pkt_size) + " samples");
      return false;
    }
    const uint8_t* b = raw.data();
    for (std::size_t k = 0; k < pkt_size; ++k, b += 8) i[k] = std::bit_cast<double>(~exportfile::get_u64le(b));
    for (std::size_t k = 0; k < pkt_size; ++k, b += 8) q[k] = std::bit_cast<double>(~exportfile::get_u64le(b));
    if (!w.WriteChunk(i.data(), q.data(), mbytes.data(), pkt_size, p + 1 == num_pkts)) return false;
  }
  return true;
}

}  // namespace tarvio
