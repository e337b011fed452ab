// MAT 5 file reading and writing through matio: conversion between Value and
// matio's variables, atomic writes, and readable errors.
#include "runtime/matfile.h"

#include <matio.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>

namespace tarvio {

namespace {

// ---- matio's messages ---------------------------------------------------
// matio prints its diagnostics to standard error by default. They are kept
// instead and attached to the exception that follows the failed call.

thread_local std::string last_matio_message;

void matio_log(int level, char* message) {
  if (level & (MATIO_LOG_LEVEL_ERROR | MATIO_LOG_LEVEL_CRITICAL | MATIO_LOG_LEVEL_WARNING))
    last_matio_message = message ? message : "";
}

void install_matio_log() {
  static std::once_flag once;
  std::call_once(once, [] { Mat_LogInitFunc("tarvio", matio_log); });
}

std::string matio_detail() {
  std::string m = std::move(last_matio_message);
  last_matio_message.clear();
  return m.empty() ? std::string() : " (" + m + ")";
}

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  throw std::runtime_error("MAT file '" + path + "': " + what);
}

struct VarFree {
  void operator()(matvar_t* v) const { Mat_VarFree(v); }
};
using VarPtr = std::unique_ptr<matvar_t, VarFree>;

// ---- text encoding --------------------------------------------------------
// Text is UTF-8 in a Value and UTF-16 code units in a MAT char array, stored
// with the UTF-16 element type so that readers decode non-ASCII characters.

std::vector<uint16_t> utf8_to_utf16(const std::string& s) {
  std::vector<uint16_t> out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    uint32_t cp = b;
    size_t len = 1;
    if (b >= 0xF0 && b < 0xF8) {
      cp = b & 0x07u;
      len = 4;
    } else if (b >= 0xE0) {
      cp = b & 0x0Fu;
      len = 3;
    } else if (b >= 0xC0) {
      cp = b & 0x1Fu;
      len = 2;
    }
    bool ok = len == 1 || i + len <= s.size();
    for (size_t k = 1; ok && k < len; ++k) {
      auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    if (!ok || (len == 1 && b >= 0x80)) {  // not UTF-8: keep the byte as Latin-1
      out.push_back(b);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<uint16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<uint16_t>(cp));
    }
    i += len;
  }
  return out;
}

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string utf16_to_utf8(const std::vector<uint16_t>& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t u = units[i];
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    append_utf8(out, u);
  }
  return out;
}

// ---- Value -> matio -------------------------------------------------------

VarPtr to_matvar(const Value& v, const char* name, const std::string& where) {
  size_t dims[2] = {v.rows(), v.cols()};
  matvar_t* mv = nullptr;
  switch (v.kind()) {
    case Value::Kind::Real:
      mv = Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, const_cast<double*>(v.re().data()), 0);
      break;
    case Value::Kind::Complex: {
      mat_complex_split_t z{const_cast<double*>(v.re().data()), const_cast<double*>(v.im().data())};
      mv = Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, &z, MAT_F_COMPLEX);
      break;
    }
    case Value::Kind::Int32:
      mv = Mat_VarCreate(name, MAT_C_INT32, MAT_T_INT32, 2, dims, const_cast<int32_t*>(v.ints().data()), 0);
      break;
    case Value::Kind::Logical:
      mv =
          Mat_VarCreate(name, MAT_C_UINT8, MAT_T_UINT8, 2, dims, const_cast<uint8_t*>(v.bools().data()), MAT_F_LOGICAL);
      break;
    case Value::Kind::Text: {
      std::vector<uint16_t> units = utf8_to_utf16(v.str());
      size_t tdims[2] = {units.empty() ? size_t(0) : size_t(1), units.size()};
      mv = Mat_VarCreate(name, MAT_C_CHAR, MAT_T_UTF16, 2, tdims, units.empty() ? nullptr : units.data(), 0);
      break;
    }
    case Value::Kind::Record: {
      const Record& rec = v.record();
      std::vector<const char*> names;
      for (const auto& [fname, fval] : rec.fields()) {
        if (!mat_valid_name(fname))
          throw std::runtime_error("field name '" + fname + "' of " + where +
                                   " is not allowed (a letter, then letters, digits or _, at most 63)");
        names.push_back(fname.c_str());
      }
      names.push_back(nullptr);
      size_t sdims[2] = {1, 1};
      VarPtr st(Mat_VarCreateStruct2(name, 2, sdims, names.data()));
      if (!st) throw std::runtime_error("could not build the struct " + where + matio_detail());
      for (size_t i = 0; i < rec.fields().size(); ++i) {
        const auto& [fname, fval] = rec.fields()[i];
        VarPtr child = to_matvar(fval, nullptr, where + "." + fname);
        Mat_VarSetStructFieldByIndex(st.get(), i, 0, child.get());
        if (Mat_VarGetStructFieldByIndex(st.get(), i, 0) != child.get())
          throw std::runtime_error("could not set field " + where + "." + fname + matio_detail());
        child.release();  // now owned by the struct
      }
      return st;
    }
    case Value::Kind::List: {
      const auto& items = v.list();
      std::vector<VarPtr> owned;
      owned.reserve(items.size());
      for (size_t i = 0; i < items.size(); ++i)
        owned.push_back(to_matvar(items[i], nullptr, where + "{" + std::to_string(i + 1) + "}"));
      std::vector<matvar_t*> cells(items.size());
      for (size_t i = 0; i < items.size(); ++i) cells[i] = owned[i].get();
      mv = Mat_VarCreate(name, MAT_C_CELL, MAT_T_CELL, 2, dims, cells.empty() ? nullptr : cells.data(), 0);
      if (mv)
        for (auto& o : owned) o.release();  // the cell array frees its elements
      break;
    }
  }
  if (!mv) throw std::runtime_error("could not convert " + where + " (" + v.kind_name() + ")" + matio_detail());
  return VarPtr(mv);
}

// ---- matio -> Value -------------------------------------------------------

double element(const matvar_t* mv, const void* data, size_t i) {
  switch (mv->data_type) {
    case MAT_T_DOUBLE:
      return static_cast<const double*>(data)[i];
    case MAT_T_SINGLE:
      return static_cast<const float*>(data)[i];
    case MAT_T_INT8:
      return static_cast<const int8_t*>(data)[i];
    case MAT_T_UINT8:
      return static_cast<const uint8_t*>(data)[i];
    case MAT_T_INT16:
      return static_cast<const int16_t*>(data)[i];
    case MAT_T_UINT16:
      return static_cast<const uint16_t*>(data)[i];
    case MAT_T_INT32:
      return static_cast<const int32_t*>(data)[i];
    case MAT_T_UINT32:
      return static_cast<const uint32_t*>(data)[i];
    case MAT_T_INT64:
      return static_cast<double>(static_cast<const int64_t*>(data)[i]);
    case MAT_T_UINT64:
      return static_cast<double>(static_cast<const uint64_t*>(data)[i]);
    default:
      throw std::runtime_error("unsupported element type " + std::to_string(mv->data_type));
  }
}

bool is_numeric_class(matio_classes c) {
  switch (c) {
    case MAT_C_DOUBLE:
    case MAT_C_SINGLE:
    case MAT_C_INT8:
    case MAT_C_UINT8:
    case MAT_C_INT16:
    case MAT_C_UINT16:
    case MAT_C_INT32:
    case MAT_C_UINT32:
    case MAT_C_INT64:
    case MAT_C_UINT64:
      return true;
    default:
      return false;
  }
}

Value from_matvar(matvar_t* mv, const std::string& where);

std::string char_row(const matvar_t* mv, size_t rows, size_t cols, size_t r, const std::string& where) {
  if (cols == 0 || !mv->data) return {};
  if (mv->data_type == MAT_T_UTF8 && rows <= 1)  // UTF-8 storage: the bytes are the text
    return std::string(static_cast<const char*>(mv->data), mv->nbytes);
  std::vector<uint16_t> units(cols);
  for (size_t c = 0; c < cols; ++c) {
    size_t i = c * rows + r;
    switch (mv->data_type) {
      case MAT_T_UINT16:
      case MAT_T_UTF16:
      case MAT_T_INT16:
        units[c] = static_cast<const uint16_t*>(mv->data)[i];
        break;
      case MAT_T_UINT8:
      case MAT_T_UTF8:
      case MAT_T_INT8:
        units[c] = static_cast<const uint8_t*>(mv->data)[i];
        break;
      default:
        throw std::runtime_error(where + ": char data of unsupported element type " + std::to_string(mv->data_type));
    }
  }
  return utf16_to_utf8(units);
}

Value numeric_from_matvar(const matvar_t* mv, size_t rows, size_t cols, const std::string& where) {
  size_t n = rows * cols;
  if (n > 0 && !mv->data) throw std::runtime_error(where + ": data missing");
  try {
    if (mv->isComplex) {
      const auto* z = static_cast<const mat_complex_split_t*>(mv->data);
      std::vector<cplx> d(n);
      for (size_t i = 0; i < n; ++i) d[i] = cplx(element(mv, z->Re, i), element(mv, z->Im, i));
      return Value::complex(rows, cols, std::move(d));
    }
    if (mv->isLogical) {
      std::vector<uint8_t> d(n);
      for (size_t i = 0; i < n; ++i) d[i] = element(mv, mv->data, i) != 0;
      return Value::logical(rows, cols, std::move(d));
    }
    if (mv->class_type == MAT_C_INT32) {
      std::vector<int32_t> d(n);
      for (size_t i = 0; i < n; ++i) d[i] = static_cast<int32_t>(element(mv, mv->data, i));
      return Value::int32(rows, cols, std::move(d));
    }
    std::vector<double> d(n);
    for (size_t i = 0; i < n; ++i) d[i] = element(mv, mv->data, i);
    return Value::real(rows, cols, std::move(d));
  } catch (const std::invalid_argument& e) {
    throw std::runtime_error(where + ": " + e.what());
  }
}

Value from_matvar(matvar_t* mv, const std::string& where) {
  if (!mv) return Value();
  size_t rows = mv->rank >= 1 ? mv->dims[0] : 0;
  size_t cols = mv->rank >= 2 ? mv->dims[1] : (mv->rank == 1 ? 1 : 0);
  for (int k = 2; k < mv->rank; ++k) {
    if (mv->dims[k] != 1) throw std::runtime_error(where + ": arrays of more than two dimensions are not supported");
  }
  size_t n = rows * cols;
  if (is_numeric_class(mv->class_type)) return numeric_from_matvar(mv, rows, cols, where);
  switch (mv->class_type) {
    case MAT_C_EMPTY:
      return Value();
    case MAT_C_CHAR: {
      if (rows <= 1) return Value(char_row(mv, rows, cols, 0, where));
      std::vector<Value> lines;
      for (size_t r = 0; r < rows; ++r) lines.emplace_back(char_row(mv, rows, cols, r, where));
      return Value::list(std::move(lines));
    }
    case MAT_C_STRUCT: {
      unsigned nf = Mat_VarGetNumberOfFields(mv);
      char* const* names = Mat_VarGetStructFieldnames(mv);
      std::vector<Value> recs;
      for (size_t e = 0; e < n; ++e) {
        Record rec;
        for (unsigned f = 0; f < nf; ++f) {
          std::string fname = names && names[f] ? names[f] : "";
          std::string sub = where + (n == 1 ? "" : "(" + std::to_string(e + 1) + ")") + "." + fname;
          rec.set(fname, from_matvar(Mat_VarGetStructFieldByIndex(mv, f, e), sub));
        }
        recs.emplace_back(std::move(rec));
      }
      if (n == 1) return std::move(recs[0]);
      return Value::list(std::move(recs));
    }
    case MAT_C_CELL: {
      std::vector<Value> items;
      for (size_t i = 0; i < n; ++i)
        items.push_back(
            from_matvar(Mat_VarGetCell(mv, static_cast<int>(i)), where + "{" + std::to_string(i + 1) + "}"));
      return Value::list(std::move(items));
    }
    case MAT_C_SPARSE:
      throw std::runtime_error(where + ": sparse matrices are not supported");
    case MAT_C_OBJECT:
      throw std::runtime_error(where + ": objects are not supported");
    case MAT_C_FUNCTION:
      throw std::runtime_error(where + ": function handles are not supported");
    default:
      throw std::runtime_error(where + ": unsupported MAT class " + std::to_string(mv->class_type));
  }
}

struct MatClose {
  void operator()(mat_t* m) const { Mat_Close(m); }
};
using MatPtr = std::unique_ptr<mat_t, MatClose>;

// Walks the top-level data elements of a MAT 5 file and returns their
// number, checking that each lies wholly inside the file: matio returns a
// cut-off variable, or stops without a word, when a file is truncated.
size_t mat5_element_count(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) fail(path, "cannot be opened");
  f.seekg(0, std::ios::end);
  const uint64_t size = static_cast<uint64_t>(f.tellg());
  unsigned char header[128];
  f.seekg(0);
  if (size < 128 || !f.read(reinterpret_cast<char*>(header), 128)) fail(path, "too short for a MAT file header");
  // The endian indicator "MI" was written as a 16-bit number: "IM" on disk
  // means the file is little-endian.
  const bool little = header[126] == 'I' && header[127] == 'M';
  if (!little && !(header[126] == 'M' && header[127] == 'I')) fail(path, "has no MAT 5 endian indicator");
  auto u32 = [little](const unsigned char* b) {
    return little ? uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24
                  : uint32_t(b[3]) | uint32_t(b[2]) << 8 | uint32_t(b[1]) << 16 | uint32_t(b[0]) << 24;
  };
  constexpr uint32_t miMATRIX = 14, miCOMPRESSED = 15;
  size_t count = 0;
  uint64_t offset = 128;
  while (offset < size) {
    unsigned char tag[8];
    f.seekg(static_cast<std::streamoff>(offset));
    if (size - offset < 8 || !f.read(reinterpret_cast<char*>(tag), 8))
      fail(path, "is truncated: element " + std::to_string(count + 1) + " has no complete tag");
    const uint32_t type = u32(tag), nbytes = u32(tag + 4);
    if (type != miMATRIX && type != miCOMPRESSED)
      fail(path, "is damaged: element " + std::to_string(count + 1) + " has data type " + std::to_string(type));
    uint64_t next = offset + 8 + nbytes;
    if (next > size)
      fail(path, "is truncated: element " + std::to_string(count + 1) + " needs " + std::to_string(next - size) +
                     " more bytes");
    if (type == miMATRIX) next = (next + 7) / 8 * 8;  // uncompressed elements are padded to 8 bytes
    offset = next;
    ++count;
  }
  return count;
}

struct OpenFile {
  MatPtr mat;
  std::optional<size_t> elements;  // MAT 5 files only
};

OpenFile open_for_read(const std::string& path) {
  install_matio_log();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) fail(path, "no such file");
  if (std::filesystem::is_directory(path, ec)) fail(path, "is a folder, not a file");
  last_matio_message.clear();
  OpenFile of{MatPtr(Mat_Open(path.c_str(), MAT_ACC_RDONLY)), std::nullopt};
  if (!of.mat) fail(path, "not a readable MAT file" + matio_detail());
  if (Mat_GetVersion(of.mat.get()) == MAT_FT_MAT5) of.elements = mat5_element_count(path);
  return of;
}

// A variable as read; a complaint that matio logged while reading it means
// the data were damaged even if a variable came back.
Value checked_variable(const std::string& path, matvar_t* mv, const std::string& name) {
  Value v;
  try {
    v = from_matvar(mv, name);
  } catch (const std::exception& e) {
    fail(path, std::string("variable ") + e.what());
  }
  if (!last_matio_message.empty()) fail(path, "variable '" + name + "' is damaged" + matio_detail());
  return v;
}

}  // namespace

bool mat_valid_name(const std::string& name) {
  if (name.empty() || name.size() > 63) return false;
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!alpha(name[0])) return false;
  for (char c : name)
    if (!alpha(c) && !(c >= '0' && c <= '9') && c != '_') return false;
  return true;
}

void mat_write(const std::string& path, const MatVars& vars) {
  install_matio_log();
  namespace fs = std::filesystem;
  std::set<std::string> seen;
  for (const auto& [name, v] : vars) {
    if (!mat_valid_name(name))
      fail(path, "variable name '" + name + "' is not allowed (a letter, then letters, digits or _, at most 63)");
    if (!seen.insert(name).second) fail(path, "variable '" + name + "' is given twice");
  }
  fs::path target(path);
  if (target.filename().empty()) fail(path, "no file name given");
  fs::path tmp = target.parent_path() / ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()));
  // "MATLAB 5.0 MAT-file" opens the 116-byte header text that identifies the format.
  const char* header = "MATLAB 5.0 MAT-file, written by Tarvio";
  mat_t* mat = Mat_CreateVer(tmp.c_str(), header, MAT_FT_MAT5);
  if (!mat) fail(path, "cannot create the file" + matio_detail());
  try {
    for (const auto& [name, v] : vars) {
      VarPtr mv;
      try {
        mv = to_matvar(v, name.c_str(), name);
      } catch (const std::exception& e) {
        fail(path, e.what());
      }
      if (Mat_VarWrite(mat, mv.get(), MAT_COMPRESSION_ZLIB) != 0)
        fail(path, "writing variable '" + name + "' failed" + matio_detail());
    }
    mat_t* m = mat;
    mat = nullptr;
    if (Mat_Close(m) != 0) fail(path, "closing the file failed" + matio_detail());
    std::error_code ec;
    fs::rename(tmp, target, ec);
    if (ec) fail(path, "cannot replace the file: " + ec.message());
  } catch (...) {
    if (mat) Mat_Close(mat);
    std::error_code ec;
    fs::remove(tmp, ec);
    throw;
  }
}

MatVars mat_read(const std::string& path) {
  OpenFile of = open_for_read(path);
  MatVars out;
  while (matvar_t* raw = Mat_VarReadNext(of.mat.get())) {
    VarPtr mv(raw);
    std::string name = mv->name ? mv->name : "";
    out.emplace_back(name, checked_variable(path, mv.get(), name));
  }
  if (!last_matio_message.empty() || (of.elements && out.size() != *of.elements))
    fail(path, "is damaged: " + std::to_string(out.size()) + " of " +
                   std::to_string(of.elements.value_or(out.size() + 1)) + " variables could be read" + matio_detail());
  return out;
}

Value mat_read_var(const std::string& path, const std::string& name) {
  OpenFile of = open_for_read(path);
  VarPtr mv(Mat_VarRead(of.mat.get(), name.c_str()));
  if (!mv) {
    if (!last_matio_message.empty()) fail(path, "variable '" + name + "' cannot be read" + matio_detail());
    fail(path, "has no variable '" + name + "'");
  }
  return checked_variable(path, mv.get(), name);
}

std::vector<std::string> mat_var_names(const std::string& path) {
  OpenFile of = open_for_read(path);
  std::vector<std::string> names;
  // Reads each variable's header only, not its data.
  while (matvar_t* raw = Mat_VarReadNextInfo(of.mat.get())) {
    VarPtr mv(raw);
    names.push_back(mv->name ? mv->name : "");
  }
  if (!last_matio_message.empty()) fail(path, "is damaged" + matio_detail());
  return names;
}

}  // namespace tarvio
