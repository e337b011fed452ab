// MAT 5 files written byte by byte, to make the files no writer makes: a
// dimension claim the data cannot hold, a small compressed file that expands
// to gigabytes, nesting without end. Little-endian, as on the test hosts.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace tarvio::testing::mat5 {

enum : uint32_t {
  miINT8 = 1,
  miUINT8 = 2,
  miUINT16 = 4,
  miINT32 = 5,
  miUINT32 = 6,
  miDOUBLE = 9,
  miMATRIX = 14,
  miCOMPRESSED = 15
};
enum : uint32_t { mxCELL = 1, mxSTRUCT = 2, mxCHAR = 4, mxSPARSE = 5, mxDOUBLE = 6 };

inline std::string u32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

inline std::string header(uint16_t version = 0x0100) {
  std::string h = "MATLAB 5.0 MAT-file, crafted by a test";
  h.resize(116, ' ');
  h += std::string(8, '\0');
  h += std::string(reinterpret_cast<const char*>(&version), 2);
  h += "IM";
  return h;
}

// A data element: tag, data, padding to 8 bytes.
inline std::string element(uint32_t type, const std::string& data) {
  std::string e = u32(type) + u32(uint32_t(data.size())) + data;
  e.resize((e.size() + 7) / 8 * 8, '\0');
  return e;
}

inline std::string doubles(size_t n, double v = 0) {
  std::string d(8 * n, '\0');
  for (size_t k = 0; k < n; ++k) std::memcpy(&d[8 * k], &v, 8);
  return element(miDOUBLE, d);
}

// A miMATRIX element: flags, dimensions, name, then `body` (its class's parts).
inline std::string matrix(uint32_t cls, const std::vector<int32_t>& dims, const std::string& name,
                          const std::string& body, uint32_t flags = 0) {
  std::string d;
  for (int32_t x : dims) d += u32(uint32_t(x));
  const std::string content =
      element(miUINT32, u32(cls | flags) + u32(0)) + element(miINT32, d) + element(miINT8, name) + body;
  return u32(miMATRIX) + u32(uint32_t(content.size())) + content;
}

// A struct's parts before its fields: field name length and the names.
inline std::string struct_names(const std::vector<std::string>& fields, uint32_t len = 32) {
  std::string names;
  for (const auto& f : fields) {
    std::string slot = f;
    slot.resize(len, '\0');
    names += slot;
  }
  return u32((4u << 16) | miINT32) + u32(len) + element(miINT8, names);
}

// A miCOMPRESSED element holding `inner` (a whole element).
inline std::string compressed(const std::string& inner) {
  std::vector<uint8_t> out(compressBound(uLong(inner.size())));
  uLongf n = uLongf(out.size());
  compress2(out.data(), &n, reinterpret_cast<const Bytef*>(inner.data()), uLong(inner.size()), 9);
  return u32(miCOMPRESSED) + u32(uint32_t(n)) + std::string(reinterpret_cast<const char*>(out.data()), n);
}

inline void save(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

}  // namespace tarvio::testing::mat5

namespace tarvio::testing::mat5 {

// A compressed 1 x n double variable of zeros, deflated piece by piece so
// that a file claiming gigabytes is made without holding them.
inline std::string compressed_zeros(const std::string& name, uint32_t n) {
  const std::string head = matrix(mxDOUBLE, {1, int32_t(n)}, name, "");
  // The matrix element above has no data part yet: add its size to the tag.
  std::string first = head.substr(0, 4) + u32(uint32_t(head.size() - 8 + 8 + 8ull * n)) + head.substr(8);
  first += u32(miDOUBLE) + u32(8 * n);
  z_stream z{};
  deflateInit(&z, 9);
  std::string out;
  std::vector<uint8_t> buf(1 << 16);
  const std::vector<uint8_t> zeros(1 << 20, 0);
  auto pump = [&](const uint8_t* p, size_t len, int flush) {
    z.next_in = const_cast<Bytef*>(p);
    z.avail_in = uInt(len);
    do {
      z.next_out = buf.data();
      z.avail_out = uInt(buf.size());
      deflate(&z, flush);
      out.append(reinterpret_cast<const char*>(buf.data()), buf.size() - z.avail_out);
    } while (z.avail_out == 0);
  };
  pump(reinterpret_cast<const uint8_t*>(first.data()), first.size(), Z_NO_FLUSH);
  for (uint64_t left = 8ull * n; left > 0;) {
    const size_t m = size_t(std::min<uint64_t>(left, zeros.size()));
    pump(zeros.data(), m, Z_NO_FLUSH);
    left -= m;
  }
  pump(nullptr, 0, Z_FINISH);
  deflateEnd(&z);
  return u32(miCOMPRESSED) + u32(uint32_t(out.size())) + out;
}

}  // namespace tarvio::testing::mat5
