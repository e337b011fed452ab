// MAT files (MAT 5 format) holding named Values, so that a file written here
// loads unchanged in the usual numerical environments and their files of the
// same kinds load here.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "runtime/output_file.h"
#include "runtime/value.h"

namespace tarvio {

using MatVars = std::vector<std::pair<std::string, Value>>;

// Writes the variables in the given order. Kinds map one to one onto MAT
// classes: real and complex matrices -> double, text -> char row (UTF-16),
// int32 -> int32, logical -> logical uint8, record -> 1x1 struct with its
// fields in order, list -> cell row. Variables are zlib-compressed, except
// large ones (over 16 MiB), which are written as they are so that they are
// never held twice. The file is written under a unique temporary name in the
// same folder (runtime/output_file.h) and renamed when every byte has
// reached it, so a failed write leaves no partial file and an existing file
// untouched. Throws std::runtime_error naming the file and the problem (bad
// variable or field name, a variable over the format's 4 GiB, I/O failure).
void mat_write(const std::string& path, const MatVars& vars);

// A large real or complex matrix written without holding it in memory: its
// values are produced in column-major order by `fill`, which is called once
// for the real parts (part 0) and, for a complex matrix, once more for the
// imaginary parts (part 1), and hands them on with put(values, count) in
// pieces of any size.
struct MatStream {
  using Put = std::function<void(const double* values, size_t count)>;
  size_t rows = 0, cols = 0;
  bool complex = false;
  std::function<void(int part, const Put& put)> fill;
};

// A MAT file written variable by variable, for files whose variables are
// built or streamed one after the other; mat_write() in pieces.
class MatWriter {
 public:
  // Creates the temporary file (throws as OutputFile does).
  explicit MatWriter(const std::string& path);
  void add(const std::string& name, const Value& v);
  // Streamed, uncompressed; throws when `fill` gives another number of
  // values than rows x cols.
  void add(const std::string& name, const MatStream& s);
  // Renames the complete file into place.
  void commit();

 private:
  void check_name(const std::string& name);
  std::string path_;
  OutputFile out_;
  std::set<std::string> names_;
};

// Limits for reading files from outside. The file's structure is checked
// before any variable is converted: every length, dimension and count must
// fit the bytes that hold it, and compressed variables are inflated as a
// stream. `max_bytes` bounds the memory the variables may claim (their
// elements at 8 bytes a number, or 16 complex), compressed or not.
struct MatReadLimits {
  uint64_t max_bytes = 0;  // 0: the memory available now (runtime/memory_check.h)
};

// The bound for parameter and configuration files: far above what any
// parameter set holds, far below what a crafted file could claim.
inline constexpr uint64_t kSettingsFileMaxBytes = 64ull << 20;

// Reads every variable, in file order. Besides the kinds written above it
// accepts single and the other integer classes (read as real doubles), char
// matrices of several rows (a list of their row texts), struct arrays (a list
// of records, empty when the array is empty) and cells of any shape (a list in
// column-major order). Sparse matrices, objects, functions and arrays of more
// than two dimensions are refused with an error naming the variable. Only
// MAT 5 files (version 6 and 7 files, compressed or not) are read; version
// 4 and 7.3 (HDF5) files are refused with a note on how to save them.
MatVars mat_read(const std::string& path, const MatReadLimits& limits = {});

// One variable by name; throws when the file has no such variable.
Value mat_read_var(const std::string& path, const std::string& name, const MatReadLimits& limits = {});

// The names of the file's variables, in file order, without reading their
// data.
std::vector<std::string> mat_var_names(const std::string& path);

// True when `name` can be a MAT variable or field name: a letter, then
// letters, digits or underscores, at most 63 characters.
bool mat_valid_name(const std::string& name);

}  // namespace tarvio
