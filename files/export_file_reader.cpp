// Parsing of waveform export files for inspection and round-trip checks.
#include "files/export_file_reader.h"

#include <cstring>
#include <stdexcept>
#include <vector>

#include "plugin/export_layout.h"
#include "runtime/input_file.h"

namespace tarvio {

namespace el = exportfile;

namespace {

std::string text_field(const uint8_t* p, size_t n) {
  size_t len = 0;
  while (len < n && p[len] != 0) ++len;
  return std::string(reinterpret_cast<const char*>(p), len);
}

}  // namespace

ExportFileReader::ExportFileReader(const std::string& path) : path_(path) {
  check_input_file(path);  // a folder opens and fails only at the first read
  f_ = std::fopen(path.c_str(), "rb");
  if (f_ == nullptr) throw std::runtime_error("cannot open the export file '" + path + "'");
  uint8_t b[el::kHeaderSize];
  if (std::fread(b, 1, sizeof b, f_) != sizeof b || std::memcmp(b, el::kMagic, sizeof el::kMagic) != 0) {
    std::fclose(f_);
    throw std::runtime_error("'" + path + "' is not a waveform export file (no TVWFXPRT header record)");
  }
  h_.header_size = el::get_u32le(b + el::kOffHeaderSize);
  h_.version = el::get_u32le(b + el::kOffVersion);
  h_.sample_count = el::get_u64le(b + el::kOffSampleCount);
  h_.marker_rows = el::get_u32le(b + el::kOffMarkerRows);
  h_.residual_mode = int32_t(el::get_u32le(b + el::kOffResidualMode));
  h_.sample_rate = el::get_f64le(b + el::kOffSampleRate);
  h_.frequency = el::get_f64le(b + el::kOffFrequency);
  h_.scaling = el::get_f64le(b + el::kOffScaling);
  h_.bandwidth = el::get_f64le(b + el::kOffBandwidth);
  h_.reserved1 = el::get_f64le(b + el::kOffReserved1);
  h_.mod_atten = el::get_f64le(b + el::kOffModAtten);
  h_.reserved2 = int8_t(b[el::kOffReserved2]);
  h_.reserved3 = int8_t(b[el::kOffReserved3]);
  h_.reserved5 = int8_t(b[el::kOffReserved5]);
  h_.rf_blank_marker = int8_t(b[el::kOffRFBlankMarker]);
  h_.reserved4 = int16_t(el::get_u16le(b + el::kOffReserved4));
  h_.marker_polarity_mask = el::get_u16le(b + el::kOffPolarityMask);
  h_.option = text_field(b + el::kOffOption, el::kOptionBytes);
  h_.comment = text_field(b + el::kOffComment, el::kCommentBytes);
  std::fseek(f_, 0, SEEK_END);
  const long size = std::ftell(f_);
  const bool sizes_ok = h_.header_size == el::kHeaderSize && h_.version == el::kLayoutVersion &&
                        h_.sample_count < (uint64_t(1) << 40) && size >= 0 &&
                        uint64_t(size) == el::file_size(h_.sample_count);
  if (!sizes_ok) {
    std::fclose(f_);
    throw std::runtime_error("the export file '" + path + "' is damaged: its size " + std::to_string(size) +
                             " does not match " + std::to_string(h_.sample_count) + " samples");
  }
}

ExportFileReader::~ExportFileReader() {
  if (f_ != nullptr) std::fclose(f_);
}

void ExportFileReader::read_at(uint64_t offset, uint8_t* dst, size_t n) {
  if (std::fseek(f_, long(offset), SEEK_SET) != 0 || std::fread(dst, 1, n, f_) != n)
    throw std::runtime_error("cannot read the export file '" + path_ + "'");
}

void ExportFileReader::read(uint64_t first, size_t n, int16_t* i, int16_t* q, int32_t* res_i, int32_t* res_q,
                            uint8_t* markers) {
  const uint64_t N = h_.sample_count;
  if (first > N || n > N - first) throw std::out_of_range("export file: sample range beyond the file");
  std::vector<uint8_t> buf;
  if (i != nullptr || q != nullptr) {
    buf.resize(n * el::kSampleBytes);
    read_at(el::kHeaderSize + first * el::kSampleBytes, buf.data(), buf.size());
    for (size_t k = 0; k < n; ++k) {
      const uint8_t* s = &buf[k * el::kSampleBytes];
      if (i != nullptr) i[k] = int16_t(uint16_t((s[0] << 8) | s[1]));
      if (q != nullptr) q[k] = int16_t(uint16_t((s[2] << 8) | s[3]));
    }
  }
  const uint64_t markers_at = el::kHeaderSize + N * el::kSampleBytes;
  if (markers != nullptr) read_at(markers_at + first, markers, n);
  const uint64_t resi_at = markers_at + N * el::kMarkerBytes;
  const uint64_t resq_at = resi_at + N * el::kResidualBytes;
  for (auto [dst, at] : {std::pair{res_i, resi_at}, std::pair{res_q, resq_at}}) {
    if (dst == nullptr) continue;
    buf.resize(n * el::kResidualBytes);
    read_at(at + first * el::kResidualBytes, buf.data(), buf.size());
    for (size_t k = 0; k < n; ++k) dst[k] = int32_t(el::get_u32le(&buf[k * el::kResidualBytes]));
  }
}

}  // namespace tarvio
