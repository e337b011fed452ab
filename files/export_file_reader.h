// Reads a waveform export file back (layout in docs/export-file.md): the
// header record, and the samples, marker bytes and residuals in blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tarvio {

struct ExportFileHeader {
  uint32_t header_size = 0;
  uint32_t version = 0;
  uint64_t sample_count = 0;
  uint32_t marker_rows = 0;
  int32_t residual_mode = 0;
  double sample_rate = 0, frequency = 0, scaling = 0, bandwidth = 0, reserved1 = 0, mod_atten = 0;
  int8_t reserved2 = 0, reserved3 = 0, reserved5 = 0, rf_blank_marker = 0;
  int16_t reserved4 = 0;
  uint16_t marker_polarity_mask = 0;
  std::string option, comment;
};

class ExportFileReader {
 public:
  // Opens the file and checks its magic, header size and total size;
  // throws std::runtime_error saying what is wrong.
  explicit ExportFileReader(const std::string& path);
  ~ExportFileReader();
  ExportFileReader(const ExportFileReader&) = delete;
  ExportFileReader& operator=(const ExportFileReader&) = delete;

  const ExportFileHeader& header() const { return h_; }

  // Samples [first, first+n): the 16-bit integers, the residuals and the
  // marker bytes (any pointer may be null to skip that part).
  void read(uint64_t first, size_t n, int16_t* i, int16_t* q, int32_t* res_i, int32_t* res_q, uint8_t* markers);

  // The sample value restored to the scale -1..1 of the full-scale peak:
  // (v + r / 2147483647) / 32767.
  static double restore(int16_t v, int32_t r) { return (v + r / 2147483647.0) / 32767.0; }

 private:
  void read_at(uint64_t offset, uint8_t* dst, size_t n);
  std::FILE* f_ = nullptr;
  std::string path_;
  ExportFileHeader h_;
};

}  // namespace tarvio
