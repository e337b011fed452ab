// The MAT 5 structure check: a walk over the file's data elements that reads
// tags, flags, dimensions and names and skips the data.
#include "runtime/mat_check.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace tarvio {

namespace {

enum : uint32_t {
  miINT8 = 1,
  miUINT8 = 2,
  miINT16 = 3,
  miUINT16 = 4,
  miINT32 = 5,
  miUINT32 = 6,
  miSINGLE = 7,
  miDOUBLE = 9,
  miINT64 = 12,
  miUINT64 = 13,
  miMATRIX = 14,
  miCOMPRESSED = 15,
  miUTF8 = 16,
  miUTF16 = 17,
};

enum : uint32_t {
  mxCELL = 1,
  mxSTRUCT = 2,
  mxOBJECT = 3,
  mxCHAR = 4,
  mxSPARSE = 5,
  mxDOUBLE = 6,
  mxUINT64 = 15,
  mxFUNCTION = 16,
};

constexpr int kMaxDepth = 64;
// Memory one converted element takes besides its data: a Value (a text of a
// char matrix's row, a cell, a struct array's record) with its bookkeeping,
// rounded up.
constexpr uint64_t kValueBytes = 256;
constexpr uint32_t kMaxRank = 32;
constexpr uint64_t kMaxNameBytes = 4096;

uint64_t pad8(uint64_t n) { return (n + 7) / 8 * 8; }

// The reason a file is refused; the caller adds the file and the place.
struct Bad : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Bytes of one top-level element: straight from the file or inflated.
class Source {
 public:
  virtual ~Source() = default;
  virtual void read(uint8_t* dst, size_t n) = 0;  // throws Bad at the end of the data
  virtual void skip(uint64_t n) = 0;
  virtual bool at_end() = 0;
};

class FileSource : public Source {
 public:
  FileSource(std::ifstream& f, uint64_t bytes) : f_(f), left_(bytes) {}
  void read(uint8_t* dst, size_t n) override {
    if (n > left_) throw Bad("an element runs past the end of its variable");
    if (!f_.read(reinterpret_cast<char*>(dst), std::streamsize(n))) throw Bad("the file cannot be read");
    left_ -= n;
  }
  void skip(uint64_t n) override {
    if (n > left_) throw Bad("an element runs past the end of its variable");
    f_.seekg(std::streamoff(n), std::ios::cur);
    left_ -= n;
  }
  bool at_end() override { return left_ == 0; }

 private:
  std::ifstream& f_;
  uint64_t left_;
};

class InflateSource : public Source {
 public:
  InflateSource(std::ifstream& f, uint64_t bytes, uint64_t& inflated, uint64_t max_bytes)
      : f_(f), in_left_(bytes), inflated_(inflated), max_(max_bytes), in_(1 << 16), out_(1 << 16) {
    if (inflateInit(&z_) != Z_OK) throw Bad("the decompressor cannot start");
  }
  ~InflateSource() override { inflateEnd(&z_); }
  InflateSource(const InflateSource&) = delete;
  InflateSource& operator=(const InflateSource&) = delete;

  void read(uint8_t* dst, size_t n) override {
    while (n > 0) {
      if (pos_ == have_) fill();
      const size_t m = std::min(n, have_ - pos_);
      std::memcpy(dst, out_.data() + pos_, m);
      pos_ += m;
      dst += m;
      n -= m;
    }
  }
  void skip(uint64_t n) override {
    while (n > 0) {
      if (pos_ == have_) fill();
      const size_t m = size_t(std::min<uint64_t>(n, have_ - pos_));
      pos_ += m;
      n -= m;
    }
  }
  bool at_end() override {
    if (pos_ < have_) return false;
    if (ended_) return true;
    try {
      fill();
    } catch (const Bad&) {
      return true;
    }
    return pos_ == have_;
  }

 private:
  // Inflates the next piece into out_; throws Bad when the stream has ended
  // or is damaged, or when the bound on inflated bytes is passed.
  void fill() {
    if (ended_) throw Bad("the compressed data end before the variable does");
    pos_ = have_ = 0;
    while (have_ == 0) {
      if (z_.avail_in == 0) {
        if (in_left_ == 0) throw Bad("the compressed data are cut short");
        const size_t m = size_t(std::min<uint64_t>(in_left_, in_.size()));
        if (!f_.read(reinterpret_cast<char*>(in_.data()), std::streamsize(m))) throw Bad("the file cannot be read");
        in_left_ -= m;
        z_.next_in = in_.data();
        z_.avail_in = uInt(m);
      }
      z_.next_out = out_.data();
      z_.avail_out = uInt(out_.size());
      const int rc = inflate(&z_, Z_NO_FLUSH);
      have_ = out_.size() - z_.avail_out;
      if (rc == Z_STREAM_END) {
        ended_ = true;
        if (have_ == 0) throw Bad("the compressed data end before the variable does");
      } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
        throw Bad(std::string("the compressed data are damaged (") + (z_.msg ? z_.msg : "zlib error") + ")");
      } else if (rc == Z_BUF_ERROR && have_ == 0 && z_.avail_in != 0) {
        throw Bad("the compressed data are damaged");
      }
    }
    inflated_ += have_;
    if (inflated_ > max_)
      throw Bad("expands to more than " + std::to_string(max_) + " bytes, the most allowed for this file");
  }

  std::ifstream& f_;
  uint64_t in_left_;
  uint64_t& inflated_;
  uint64_t max_;
  z_stream z_{};
  std::vector<uint8_t> in_, out_;
  size_t pos_ = 0, have_ = 0;
  bool ended_ = false;
};

size_t element_size(uint32_t type) {
  switch (type) {
    case miINT8:
    case miUINT8:
      return 1;
    case miINT16:
    case miUINT16:
      return 2;
    case miINT32:
    case miUINT32:
    case miSINGLE:
      return 4;
    case miDOUBLE:
    case miINT64:
    case miUINT64:
      return 8;
    default:
      return 0;
  }
}

// One data element's tag, in its long or short form.
struct Tag {
  uint32_t type = 0;
  uint64_t bytes = 0;   // data bytes
  uint64_t stored = 0;  // bytes the element takes after its tag (data and padding)
  uint8_t inline_data[4] = {};
  bool small = false;
};

class Walker {
 public:
  Walker(Source& src, bool swap, uint64_t& claimed, uint64_t max_bytes)
      : src_(src), swap_(swap), claimed_(claimed), max_(max_bytes) {}

  uint32_t u32(const uint8_t* b) const {
    uint32_t v;
    std::memcpy(&v, b, 4);
    return swap_ ? __builtin_bswap32(v) : v;
  }

  // Reads a tag with `left` bytes remaining in the enclosing element.
  Tag tag(uint64_t& left, const char* what) {
    if (left < 8) throw Bad(std::string("no room for ") + what);
    uint8_t b[8];
    src_.read(b, 8);
    left -= 8;
    Tag t;
    const uint32_t first = u32(b);
    if ((first >> 16) != 0) {  // short form: byte count and type in four bytes, the data in the next four
      t.small = true;
      t.type = first & 0xFFFF;
      t.bytes = first >> 16;
      if (t.bytes > 4)
        throw Bad(std::string("the short element of ") + what + " claims " + std::to_string(t.bytes) + " bytes");
      std::memcpy(t.inline_data, b + 4, 4);
      t.stored = 0;
      return t;
    }
    t.type = first;
    t.bytes = u32(b + 4);
    t.stored = pad8(t.bytes);
    if (t.stored > left)
      throw Bad(std::string(what) + " claims " + std::to_string(t.bytes) + " bytes; its element holds " +
                std::to_string(left));
    return t;
  }

  // Skips an element's data (after its tag).
  void skip(const Tag& t, uint64_t& left) {
    src_.skip(t.stored);
    left -= t.stored;
  }

  void claim(uint64_t bytes, const std::string& where) {
    claimed_ += bytes;
    if (bytes > max_ || claimed_ > max_)
      throw Bad(where + " would need " + std::to_string(claimed_) + " bytes of memory; at most " +
                std::to_string(max_) + " are allowed for this file");
  }

  // The contents of a miMATRIX element of `bytes` bytes. Returns its name.
  std::string matrix(uint64_t bytes, int depth, const std::string& where, bool top) {
    if (depth > kMaxDepth) throw Bad("'" + where + "' is nested more than " + std::to_string(kMaxDepth) + " deep");
    if (bytes == 0) {
      if (top) throw Bad("a variable has no contents");
      return {};  // an empty field or cell
    }
    uint64_t left = bytes;

    Tag flags = tag(left, "the array flags");
    if (flags.type != miUINT32 || flags.bytes != 8 || flags.small)
      throw Bad("'" + where + "': the array flags are malformed");
    uint8_t fb[8];
    src_.read(fb, 8);
    left -= 8;
    const uint32_t f = u32(fb);
    const uint32_t cls = f & 0xFF;
    const bool complex = (f & 0x800) != 0;

    Tag dims = tag(left, "the dimensions");
    if (dims.type != miINT32 || dims.bytes % 4 != 0 || dims.bytes < 8 || dims.bytes > 4 * kMaxRank || dims.small)
      throw Bad("'" + where + "': the dimensions are malformed");
    std::vector<uint8_t> db(dims.stored);
    src_.read(db.data(), db.size());
    left -= dims.stored;
    uint64_t numel = 1;
    std::string shape;
    for (uint64_t k = 0; k < dims.bytes / 4; ++k) {
      const auto d = int32_t(u32(&db[4 * k]));
      if (d < 0) throw Bad("'" + where + "': a dimension is negative");
      shape += (k ? " x " : "") + std::to_string(d);
      if (__builtin_mul_overflow(numel, uint64_t(d), &numel) || numel > (uint64_t(1) << 48))
        throw Bad("'" + where + "' claims " + shape + " elements");
    }

    Tag nt = tag(left, "the name");
    if ((nt.type != miINT8 && nt.type != miUINT8 && nt.type != miUTF8) || nt.bytes > kMaxNameBytes)
      throw Bad("'" + where + "': the name is malformed");
    std::string name;
    if (nt.small) {
      name.assign(reinterpret_cast<const char*>(nt.inline_data), size_t(nt.bytes));
    } else {
      name.resize(size_t(nt.stored));
      src_.read(reinterpret_cast<uint8_t*>(name.data()), name.size());
      name.resize(size_t(nt.bytes));
      left -= nt.stored;
    }
    const std::string here = top ? name : where;
    const std::string quoted = "'" + here + "'";
    const std::string sized = quoted + " (" + shape + ")";

    if (cls >= 6 && cls <= mxUINT64) {  // double, single and the integer classes
      for (int part = 0; part < (complex ? 2 : 1); ++part) {
        Tag d = tag(left, "the numbers");
        const size_t es = element_size(d.type);
        if (es == 0) throw Bad(quoted + ": numbers stored as element type " + std::to_string(d.type));
        if (d.bytes != numel * es)
          throw Bad(sized + " claims " + std::to_string(numel) + " elements; its data hold " +
                    std::to_string(d.bytes / es));
        // The library's copy and the Value's.
        if (part == 0) claim(numel * (complex ? 32 : 16), sized);
        skip(d, left);
      }
    } else if (cls == mxCHAR) {
      Tag d = tag(left, "the text");
      const uint64_t rows = uint64_t(int32_t(u32(&db[0])));
      const size_t es = d.type == miUTF16 || d.type == miUINT16 || d.type == miINT16 ? 2
                        : d.type == miUTF8 || d.type == miUINT8 || d.type == miINT8  ? 1
                                                                                     : 0;
      if (es == 0) throw Bad(quoted + ": text stored as element type " + std::to_string(d.type));
      // A one-row UTF-8 text may hold several bytes per character.
      const bool bytes_ok =
          (d.type == miUTF8 && rows <= 1) ? d.bytes >= numel && d.bytes <= 4 * numel : d.bytes == numel * es;
      if (!bytes_ok)
        throw Bad(sized + " claims " + std::to_string(numel) + " characters; its data hold " + std::to_string(d.bytes) +
                  " bytes");
      // UTF-16 units, the UTF-8 text, and a Value per row of a char matrix.
      claim(numel * 6 + rows * kValueBytes, sized);
      skip(d, left);
    } else if (cls == mxCELL) {
      if (numel > left / 8)
        throw Bad(sized + " claims " + std::to_string(numel) + " cells; its element holds " + std::to_string(left) +
                  " bytes");
      claim(numel * 2 * kValueBytes, sized);  // the library's element and the Value
      for (uint64_t i = 0; i < numel; ++i) sub_matrix(left, depth, here + "{" + std::to_string(i + 1) + "}");
    } else if (cls == mxSTRUCT) {
      Tag lt = tag(left, "the field name length");
      uint32_t len = 0;
      if (lt.type != miINT32 || lt.bytes != 4) throw Bad(quoted + ": the field name length is malformed");
      if (lt.small) {
        len = u32(lt.inline_data);
      } else {
        uint8_t lb[8];
        src_.read(lb, size_t(lt.stored));
        left -= lt.stored;
        len = u32(lb);
      }
      if (len == 0 || len > kMaxNameBytes) throw Bad(quoted + ": the field name length is " + std::to_string(len));
      Tag names = tag(left, "the field names");
      if ((names.type != miINT8 && names.type != miUINT8) || names.bytes % len != 0)
        throw Bad(quoted + ": the field names are malformed");
      std::vector<uint8_t> nb(names.small ? 4 : size_t(names.stored));
      if (names.small) {
        std::memcpy(nb.data(), names.inline_data, 4);
      } else {
        src_.read(nb.data(), nb.size());
        left -= names.stored;
      }
      const uint64_t nfields = names.bytes / len;
      std::vector<std::string> fields;
      for (uint64_t i = 0; i < nfields; ++i) {
        const char* p = reinterpret_cast<const char*>(&nb[i * len]);
        const void* end = std::memchr(p, 0, len);
        if (end == nullptr) throw Bad(quoted + ": field name " + std::to_string(i + 1) + " is not terminated");
        fields.emplace_back(p, static_cast<const char*>(end) - p);
      }
      uint64_t slots = 0;
      if (__builtin_mul_overflow(numel, nfields, &slots) || slots > left / 8)
        throw Bad(sized + " claims " + std::to_string(numel) + " elements of " + std::to_string(nfields) +
                  " fields; its element holds " + std::to_string(left) + " bytes");
      // The library's field slots and a record per element, even without fields.
      claim(slots * 2 * kValueBytes + numel * kValueBytes, sized);
      for (uint64_t e = 0; e < numel; ++e)
        for (uint64_t i = 0; i < nfields; ++i)
          sub_matrix(left, depth, here + (numel == 1 ? "" : "(" + std::to_string(e + 1) + ")") + "." + fields[i]);
    } else if (cls == mxSPARSE) {
      throw Bad(quoted + ": sparse matrices are not supported");
    } else if (cls == mxOBJECT) {
      throw Bad(quoted + ": objects are not supported");
    } else if (cls == mxFUNCTION) {
      throw Bad(quoted + ": function handles are not supported");
    } else {
      throw Bad(quoted + ": array class " + std::to_string(cls) + " is not supported");
    }
    if (left != 0) throw Bad(quoted + " has " + std::to_string(left) + " bytes that belong to nothing");
    return name;
  }

  // A miMATRIX element nested in a cell or struct.
  void sub_matrix(uint64_t& left, int depth, const std::string& where) {
    Tag t = tag(left, "a field or cell");
    if (t.type != miMATRIX || t.small)
      throw Bad("'" + where + "' is not an array (element type " + std::to_string(t.type) + ")");
    matrix(t.bytes, depth + 1, where, false);
    // The element's padding, if any, after its contents.
    src_.skip(t.stored - t.bytes);
    left -= t.stored;
  }

 private:
  Source& src_;
  bool swap_;
  uint64_t& claimed_;
  uint64_t max_;
};

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  throw std::runtime_error("MAT file '" + path + "': " + what);
}

// The header's byte order: false for a little-endian file.
bool read_header(const std::string& path, std::ifstream& f, uint64_t& size) {
  f.seekg(0, std::ios::end);
  size = static_cast<uint64_t>(f.tellg());
  unsigned char header[128];
  f.seekg(0);
  if (size < 128 || !f.read(reinterpret_cast<char*>(header), 128))
    fail(path, "not a readable MAT file: too short for a MAT 5 header");
  // The endian indicator "MI" was written as a 16-bit number: "IM" on disk
  // means the file is little-endian.
  const bool little = header[126] == 'I' && header[127] == 'M';
  const bool big = header[126] == 'M' && header[127] == 'I';
  if (!little && !big) fail(path, "not a readable MAT file: no MAT 5 header (MAT 4 files are not read)");
  const unsigned version = little ? header[124] | header[125] << 8 : header[125] | header[124] << 8;
  if (version == 0x0200)
    fail(path, "is a version 7.3 (HDF5) MAT file, which is not read; save it as a version 7 file (-v7)");
  if (version != 0x0100) fail(path, "not a readable MAT file: unknown version " + std::to_string(version));
  const bool host_little = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
  return little != host_little;
}

}  // namespace

void mat5_check_header(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) fail(path, "cannot be opened");
  uint64_t size = 0;
  read_header(path, f, size);
}

size_t mat5_check(const std::string& path, uint64_t max_bytes) {
  std::ifstream f(path, std::ios::binary);
  if (!f) fail(path, "cannot be opened");
  uint64_t size = 0;
  const bool swap = read_header(path, f, size);
  auto u32 = [swap](const unsigned char* b) {
    uint32_t v;
    std::memcpy(&v, b, 4);
    return swap ? __builtin_bswap32(v) : v;
  };
  uint64_t inflated = 0, claimed = 0;
  size_t count = 0;
  uint64_t offset = 128;
  while (offset < size) {
    const std::string element = "element " + std::to_string(count + 1);
    unsigned char tag[8];
    f.clear();
    f.seekg(static_cast<std::streamoff>(offset));
    if (size - offset < 8 || !f.read(reinterpret_cast<char*>(tag), 8))
      fail(path, "is truncated: " + element + " has no complete tag");
    const uint32_t type = u32(tag), nbytes = u32(tag + 4);
    if (type != miMATRIX && type != miCOMPRESSED)
      fail(path, "is damaged: " + element + " has data type " + std::to_string(type));
    uint64_t next = offset + 8 + nbytes;
    if (next > size) fail(path, "is truncated: " + element + " needs " + std::to_string(next - size) + " more bytes");
    try {
      if (type == miMATRIX) {
        FileSource src(f, nbytes);
        Walker(src, swap, claimed, max_bytes).matrix(nbytes, 0, "variable " + std::to_string(count + 1), true);
        next = (next + 7) / 8 * 8;  // uncompressed elements are padded to 8 bytes
      } else {
        InflateSource src(f, nbytes, inflated, max_bytes);
        uint8_t inner[8];
        src.read(inner, 8);
        if (u32(inner) != miMATRIX) throw Bad("the compressed data hold element type " + std::to_string(u32(inner)));
        Walker(src, swap, claimed, max_bytes).matrix(u32(inner + 4), 0, "variable " + std::to_string(count + 1), true);
        if (!src.at_end()) throw Bad("the compressed data hold more than one variable");
      }
    } catch (const Bad& e) {
      fail(path, "is damaged: " + std::string(e.what()));
    }
    offset = next;
    ++count;
  }
  return count;
}

}  // namespace tarvio
