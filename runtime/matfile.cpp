// MAT 5 file reading through matio, after the file's structure has been
// checked: conversion of matio's variables to Values, and readable errors.
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

#include "runtime/input_file.h"
#include "runtime/mat_check.h"
#include "runtime/memory_check.h"
#include "runtime/utf16.h"

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
  // The library leaves a part it could not read as a null pointer.
  if (!mv) throw std::runtime_error(where + ": could not be read");
  if (mv->rank > 0 && !mv->dims) throw std::runtime_error(where + ": has no dimensions");
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
      if (nf > 0 && n > 0 && (!names || !mv->data)) throw std::runtime_error(where + ": the fields could not be read");
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
      if (n > 0 && !mv->data) throw std::runtime_error(where + ": the cells could not be read");
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

struct OpenFile {
  MatPtr mat;
  size_t elements = 0;
};

uint64_t memory_bound(const MatReadLimits& limits) {
  return limits.max_bytes != 0 ? limits.max_bytes : memory_available();
}

// The file is checked whole (runtime/mat_check.h) before the MAT library
// reads any of it, so that the library only ever sees a sound MAT 5 file.
OpenFile open_for_read(const std::string& path, const MatReadLimits& limits) {
  install_matio_log();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) fail(path, "no such file");
  if (const std::string problem = input_file_problem(path); !problem.empty()) fail(path, problem);
  OpenFile of;
  of.elements = mat5_check(path, memory_bound(limits));
  last_matio_message.clear();
  of.mat = MatPtr(Mat_Open(path.c_str(), MAT_ACC_RDONLY));
  if (!of.mat) fail(path, "not a readable MAT file" + matio_detail());
  if (Mat_GetVersion(of.mat.get()) != MAT_FT_MAT5) fail(path, "not a readable MAT file: not MAT 5");
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

MatVars mat_read(const std::string& path, const MatReadLimits& limits) {
  OpenFile of = open_for_read(path, limits);
  MatVars out;
  while (matvar_t* raw = Mat_VarReadNext(of.mat.get())) {
    VarPtr mv(raw);
    std::string name = mv->name ? mv->name : "";
    out.emplace_back(name, checked_variable(path, mv.get(), name));
  }
  if (!last_matio_message.empty() || out.size() != of.elements)
    fail(path, "is damaged: " + std::to_string(out.size()) + " of " + std::to_string(of.elements) +
                   " variables could be read" + matio_detail());
  return out;
}

Value mat_read_var(const std::string& path, const std::string& name, const MatReadLimits& limits) {
  OpenFile of = open_for_read(path, limits);
  VarPtr mv(Mat_VarRead(of.mat.get(), name.c_str()));
  if (!mv) {
    if (!last_matio_message.empty()) fail(path, "variable '" + name + "' cannot be read" + matio_detail());
    fail(path, "has no variable '" + name + "'");
  }
  return checked_variable(path, mv.get(), name);
}

std::vector<std::string> mat_var_names(const std::string& path) {
  OpenFile of = open_for_read(path, {});
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
