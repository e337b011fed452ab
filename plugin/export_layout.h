// Byte layout of the waveform export file: the fixed header record at the
// start, followed by the sample block, the marker block and the two residual
// blocks. Header-only so that the plug-in (which writes it) and the library's
// reader share one definition; docs/export-file.md describes it for outside
// tools. All multi-byte numbers are little-endian except the 16-bit samples,
// which are stored high byte first.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tarvio::exportfile {

inline constexpr char kMagic[8] = {'T', 'V', 'W', 'F', 'X', 'P', 'R', 'T'};
inline constexpr uint32_t kLayoutVersion = 1;
inline constexpr std::size_t kHeaderSize = 192;

// Offsets inside the header record.
inline constexpr std::size_t kOffMagic = 0;           // 8 bytes
inline constexpr std::size_t kOffHeaderSize = 8;      // uint32
inline constexpr std::size_t kOffVersion = 12;        // uint32
inline constexpr std::size_t kOffSampleCount = 16;    // uint64, N
inline constexpr std::size_t kOffMarkerRows = 24;     // uint32, rows given by the caller
inline constexpr std::size_t kOffResidualMode = 28;   // int32
inline constexpr std::size_t kOffSampleRate = 32;     // float64, Hz
inline constexpr std::size_t kOffFrequency = 40;      // float64, Hz
inline constexpr std::size_t kOffScaling = 48;        // float64, %
inline constexpr std::size_t kOffBandwidth = 56;      // float64, Hz
inline constexpr std::size_t kOffReserved1 = 64;      // float64
inline constexpr std::size_t kOffModAtten = 72;       // float64, dB
inline constexpr std::size_t kOffReserved2 = 80;      // int8
inline constexpr std::size_t kOffReserved3 = 81;      // int8
inline constexpr std::size_t kOffReserved5 = 82;      // int8
inline constexpr std::size_t kOffRFBlankMarker = 83;  // int8
inline constexpr std::size_t kOffReserved4 = 84;      // int16
inline constexpr std::size_t kOffPolarityMask = 86;   // uint16
inline constexpr std::size_t kOffOption = 88;         // 20 bytes, text padded with zeros
inline constexpr std::size_t kOptionBytes = 20;
inline constexpr std::size_t kOffComment = 108;  // 80 bytes, text padded with zeros
inline constexpr std::size_t kCommentBytes = 80;
// Bytes 188..191 are zero.

inline constexpr std::size_t kSampleBytes = 4;    // I high, I low, Q high, Q low
inline constexpr std::size_t kMarkerBytes = 1;    // bit r-1 = marker row r (rows 1..4)
inline constexpr std::size_t kResidualBytes = 4;  // int32 per component, per block

// Total file size for N samples.
constexpr uint64_t file_size(uint64_t n) {
  return kHeaderSize + n * (kSampleBytes + kMarkerBytes + 2 * kResidualBytes);
}

// ---- explicit byte order helpers ------------------------------------------

inline void put_u16le(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void put_u32le(uint8_t* p, uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = uint8_t(v >> (8 * k));
}
inline void put_u64le(uint8_t* p, uint64_t v) {
  for (int k = 0; k < 8; ++k) p[k] = uint8_t(v >> (8 * k));
}
inline void put_f64le(uint8_t* p, double x) { put_u64le(p, std::bit_cast<uint64_t>(x)); }

inline uint16_t get_u16le(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t get_u32le(const uint8_t* p) {
  uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = (v << 8) | p[k];
  return v;
}
inline uint64_t get_u64le(const uint8_t* p) {
  uint64_t v = 0;
  for (int k = 7; k >= 0; --k) v = (v << 8) | p[k];
  return v;
}
inline double get_f64le(const uint8_t* p) { return std::bit_cast<double>(get_u64le(p)); }

}  // namespace tarvio::exportfile
