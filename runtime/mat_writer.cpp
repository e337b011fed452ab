// The MAT 5 writer: Values and streamed matrices encoded as MAT 5 data
// elements, compressed with zlib when small, written through OutputFile so
// that every byte is checked and the file appears only when complete.
//
// Layout, in the host's byte order (the endian indicator tells readers
// which): a 128-byte header (116 bytes of text, 8 bytes of
// subsystem offset, version 0x0100, endian indicator "IM"), then one data
// element per variable. A data element is a tag (type, byte count) and its
// data padded to 8 bytes. A variable is a miMATRIX element holding, in
// order: array flags (class, complex and logical bits), dimensions, name,
// and then the class's data: real and imaginary parts for numbers, UTF-16
// units for text, field name length, field names and one miMATRIX per field
// for a struct, one miMATRIX per element for a cell. A compressed variable is
// a miCOMPRESSED element holding the zlib stream of its miMATRIX element.
#include <zlib.h>

#include <cstring>
#include <limits>
#include <stdexcept>

#include "runtime/matfile.h"
#include "runtime/utf16.h"

namespace tarvio {

namespace {

// Data element types and array classes of the MAT 5 format.
enum : uint32_t {
  miINT8 = 1,
  miUINT8 = 2,
  miINT32 = 5,
  miUINT32 = 6,
  miDOUBLE = 9,
  miMATRIX = 14,
  miCOMPRESSED = 15,
  miUTF16 = 17,
};
enum : uint32_t { mxCELL = 1, mxSTRUCT = 2, mxCHAR = 4, mxDOUBLE = 6, mxUINT8 = 9, mxINT32 = 12 };
constexpr uint32_t kFlagComplex = 0x800, kFlagLogical = 0x200;

// Variables whose element is larger than this are written uncompressed,
// straight from their storage.
constexpr uint64_t kCompressBelow = 16ull << 20;

uint64_t pad8(uint64_t n) { return (n + 7) / 8 * 8; }

// Where encoded bytes go: a memory buffer (to be compressed) or the file.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void put(const void* p, size_t n) = 0;
  void u32(uint32_t v) { put(&v, 4); }
  void tag(uint32_t type, uint64_t bytes) {
    u32(type);
    u32(uint32_t(bytes));
  }
  void pad(uint64_t n) {
    static const uint8_t zeros[8] = {};
    if (n % 8) put(zeros, 8 - n % 8);
  }
  // A whole data element: tag, data, padding.
  void element(uint32_t type, const void* data, uint64_t bytes) {
    tag(type, bytes);
    if (bytes) put(data, size_t(bytes));
    pad(bytes);
  }
};

class BufferSink : public Sink {
 public:
  void put(const void* p, size_t n) override {
    const auto* b = static_cast<const uint8_t*>(p);
    bytes.insert(bytes.end(), b, b + n);
  }
  std::vector<uint8_t> bytes;
};

class FileSink : public Sink {
 public:
  explicit FileSink(OutputFile& f) : f_(f) {}
  void put(const void* p, size_t n) override { f_.write(p, n); }

 private:
  OutputFile& f_;
};

uint32_t class_of(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Real:
    case Value::Kind::Complex:
      return mxDOUBLE;
    case Value::Kind::Int32:
      return mxINT32;
    case Value::Kind::Logical:
      return mxUINT8;
    case Value::Kind::Text:
      return mxCHAR;
    case Value::Kind::Record:
      return mxSTRUCT;
    case Value::Kind::List:
      return mxCELL;
  }
  return mxDOUBLE;
}

// Bytes of the header part every matrix has: flags, dimensions, name.
uint64_t head_bytes(const std::string& name) { return 16 + 16 + 8 + pad8(name.size()); }

// The longest field name plus its terminating zero.
size_t field_name_length(const Record& r) {
  size_t len = 1;
  for (const auto& f : r.fields()) len = std::max(len, f.first.size() + 1);
  return len;
}

// Bytes of a whole miMATRIX element (tag included) holding v.
uint64_t matrix_bytes(const Value& v, const std::string& name) {
  uint64_t b = 8 + head_bytes(name);
  switch (v.kind()) {
    case Value::Kind::Real:
      b += 8 + pad8(8ull * v.numel());
      break;
    case Value::Kind::Complex:
      b += 2 * (8 + pad8(8ull * v.numel()));
      break;
    case Value::Kind::Int32:
      b += 8 + pad8(4ull * v.numel());
      break;
    case Value::Kind::Logical:
      b += 8 + pad8(v.numel());
      break;
    case Value::Kind::Text:
      b += 8 + pad8(2ull * utf8_to_utf16(v.str()).size());
      break;
    case Value::Kind::Record: {
      const Record& r = v.record();
      b += 8 + 8 + pad8(field_name_length(r) * r.size());
      for (const auto& f : r.fields()) b += matrix_bytes(f.second, "");
      break;
    }
    case Value::Kind::List:
      for (const Value& item : v.list()) b += matrix_bytes(item, "");
      break;
  }
  return b;
}

void check_fits(uint64_t element_bytes, const std::string& where) {
  if (element_bytes - 8 > std::numeric_limits<uint32_t>::max())
    throw std::runtime_error(where + " needs " + std::to_string(element_bytes) +
                             " bytes; a MAT 5 file holds at most 4 GiB per variable");
}

void put_head(Sink& s, uint64_t bytes, uint32_t cls, uint32_t flags, size_t rows, size_t cols,
              const std::string& name) {
  s.tag(miMATRIX, bytes - 8);
  s.tag(miUINT32, 8);
  s.u32(cls | flags);
  s.u32(0);
  s.tag(miINT32, 8);
  s.u32(uint32_t(rows));
  s.u32(uint32_t(cols));
  s.element(miINT8, name.data(), name.size());
}

// What the format cannot hold, found before anything of the variable is
// written: a field name it does not allow, a dimension over 2^31 - 1.
void check_value(const Value& v, const std::string& where) {
  if (v.rows() > std::numeric_limits<int32_t>::max() || v.cols() > std::numeric_limits<int32_t>::max())
    throw std::runtime_error(where + " has more rows or columns than a MAT 5 file holds");
  if (v.is_record()) {
    for (const auto& [fname, fval] : v.record().fields()) {
      if (!mat_valid_name(fname))
        throw std::runtime_error("field name '" + fname + "' of " + where +
                                 " is not allowed (a letter, then letters, digits or _, at most 63)");
      check_value(fval, where + "." + fname);
    }
  } else if (v.is_list()) {
    const auto& items = v.list();
    for (size_t i = 0; i < items.size(); ++i) check_value(items[i], where + "{" + std::to_string(i + 1) + "}");
  }
}

void put_matrix(Sink& s, const Value& v, const std::string& name) {
  const uint64_t bytes = matrix_bytes(v, name);
  const uint32_t cls = class_of(v);
  switch (v.kind()) {
    case Value::Kind::Real:
      put_head(s, bytes, cls, 0, v.rows(), v.cols(), name);
      s.element(miDOUBLE, v.re().data(), 8ull * v.numel());
      break;
    case Value::Kind::Complex:
      put_head(s, bytes, cls, kFlagComplex, v.rows(), v.cols(), name);
      s.element(miDOUBLE, v.re().data(), 8ull * v.numel());
      s.element(miDOUBLE, v.im().data(), 8ull * v.numel());
      break;
    case Value::Kind::Int32:
      put_head(s, bytes, cls, 0, v.rows(), v.cols(), name);
      s.element(miINT32, v.ints().data(), 4ull * v.numel());
      break;
    case Value::Kind::Logical:
      put_head(s, bytes, cls, kFlagLogical, v.rows(), v.cols(), name);
      s.element(miUINT8, v.bools().data(), v.numel());
      break;
    case Value::Kind::Text: {
      const std::vector<uint16_t> units = utf8_to_utf16(v.str());
      put_head(s, bytes, cls, 0, units.empty() ? 0 : 1, units.size(), name);
      s.element(miUTF16, units.data(), 2 * units.size());
      break;
    }
    case Value::Kind::Record: {
      const Record& r = v.record();
      put_head(s, bytes, cls, 0, 1, 1, name);
      const size_t len = field_name_length(r);
      // The field name length goes in the short form of an element: byte
      // count and type in the first four bytes, the value in the next four.
      s.u32((4u << 16) | miINT32);
      s.u32(uint32_t(len));
      std::vector<uint8_t> names(len * r.size(), 0);
      for (size_t i = 0; i < r.size(); ++i)
        std::memcpy(&names[i * len], r.fields()[i].first.data(), r.fields()[i].first.size());
      s.element(miINT8, names.data(), names.size());
      for (const auto& f : r.fields()) put_matrix(s, f.second, "");
      break;
    }
    case Value::Kind::List: {
      put_head(s, bytes, cls, 0, v.rows(), v.cols(), name);
      const auto& items = v.list();
      for (size_t i = 0; i < items.size(); ++i) put_matrix(s, items[i], "");
      break;
    }
  }
}

}  // namespace

MatWriter::MatWriter(const std::string& path) : path_(path), out_(path) {
  // "MATLAB 5.0 MAT-file" opens the 116-byte header text that identifies the
  // format; then no subsystem data, version 0x0100 and the endian indicator.
  char header[128];
  std::memset(header, ' ', 116);
  const char* text = "MATLAB 5.0 MAT-file, written by Tarvio";
  std::memcpy(header, text, std::strlen(text));
  std::memset(header + 116, 0, 8);
  const uint16_t version = 0x0100, endian = ('M' << 8) | 'I';
  std::memcpy(header + 124, &version, 2);
  std::memcpy(header + 126, &endian, 2);
  out_.write(header, sizeof header);
}

void MatWriter::check_name(const std::string& name) {
  if (!mat_valid_name(name))
    throw std::runtime_error("MAT file '" + path_ + "': variable name '" + name +
                             "' is not allowed (a letter, then letters, digits or _, at most 63)");
  if (!names_.insert(name).second)
    throw std::runtime_error("MAT file '" + path_ + "': variable '" + name + "' is given twice");
}

void MatWriter::add(const std::string& name, const Value& v) {
  check_name(name);
  const uint64_t bytes = matrix_bytes(v, name);
  try {
    check_value(v, name);
    check_fits(bytes, "variable '" + name + "'");
  } catch (const std::exception& e) {
    throw std::runtime_error("MAT file '" + path_ + "': " + e.what());
  }
  FileSink file(out_);
  if (bytes >= kCompressBelow) {
    put_matrix(file, v, name);
    return;
  }
  BufferSink plain;
  plain.bytes.reserve(size_t(bytes));
  put_matrix(plain, v, name);
  std::vector<uint8_t> packed(compressBound(uLong(plain.bytes.size())));
  uLongf packed_size = uLongf(packed.size());
  if (compress2(packed.data(), &packed_size, plain.bytes.data(), uLong(plain.bytes.size()), Z_DEFAULT_COMPRESSION) !=
      Z_OK)
    throw std::runtime_error("MAT file '" + path_ + "': compressing variable '" + name + "' failed");
  file.tag(miCOMPRESSED, packed_size);
  file.put(packed.data(), packed_size);  // a compressed element is not padded
}

void MatWriter::add(const std::string& name, const MatStream& st) {
  check_name(name);
  const uint64_t n = uint64_t(st.rows) * st.cols;
  const uint64_t part = 8 + pad8(8 * n);
  const uint64_t bytes = 8 + head_bytes(name) + (st.complex ? 2 : 1) * part;
  try {
    check_fits(bytes, "variable '" + name + "'");
  } catch (const std::exception& e) {
    throw std::runtime_error("MAT file '" + path_ + "': " + e.what());
  }
  FileSink file(out_);
  put_head(file, bytes, mxDOUBLE, st.complex ? kFlagComplex : 0, st.rows, st.cols, name);
  for (int p = 0; p < (st.complex ? 2 : 1); ++p) {
    file.tag(miDOUBLE, 8 * n);
    uint64_t given = 0;
    st.fill(p, [&](const double* values, size_t count) {
      given += count;
      if (given > n) return;
      out_.write(values, 8 * count);
    });
    if (given != n)
      throw std::runtime_error("MAT file '" + path_ + "': variable '" + name + "' was given " + std::to_string(given) +
                               " values instead of " + std::to_string(n));
    file.pad(8 * n);
  }
}

void MatWriter::commit() { out_.commit(); }

void mat_write(const std::string& path, const MatVars& vars) {
  // Names are checked before a file is made.
  std::set<std::string> seen;
  for (const auto& [name, v] : vars) {
    if (!mat_valid_name(name))
      throw std::runtime_error("MAT file '" + path + "': variable name '" + name +
                               "' is not allowed (a letter, then letters, digits or _, at most 63)");
    if (!seen.insert(name).second)
      throw std::runtime_error("MAT file '" + path + "': variable '" + name + "' is given twice");
  }
  MatWriter w(path);
  for (const auto& [name, v] : vars) w.add(name, v);
  w.commit();
}

}  // namespace tarvio
