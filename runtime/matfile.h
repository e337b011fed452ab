// MAT files (MAT 5 format, zlib-compressed) holding named Values, so that a
// file written here loads unchanged in the usual numerical environments and
// their files of the same kinds load here.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "runtime/value.h"

namespace tarvio {

using MatVars = std::vector<std::pair<std::string, Value>>;

// Writes the variables in the given order. Kinds map one to one onto MAT
// classes: real and complex matrices -> double, text -> char row (UTF-16),
// int32 -> int32, logical -> logical uint8, record -> 1x1 struct with its
// fields in order, list -> cell row. The file is written under a temporary
// name in the same folder and renamed when complete, so a failed write leaves
// no partial file and an existing file untouched. Throws std::runtime_error
// naming the file and the problem (bad variable or field name, I/O failure).
void mat_write(const std::string& path, const MatVars& vars);

// Reads every variable, in file order. Besides the kinds written above it
// accepts single and the other integer classes (read as real doubles), char
// matrices of several rows (a list of their row texts), struct arrays (a list
// of records, empty when the array is empty) and cells of any shape (a list in
// column-major order). Sparse matrices, objects, functions and arrays of more
// than two dimensions are refused with an error naming the variable.
MatVars mat_read(const std::string& path);

// One variable by name; throws when the file has no such variable.
Value mat_read_var(const std::string& path, const std::string& name);

// The names of the file's variables, in file order, without reading their
// data.
std::vector<std::string> mat_var_names(const std::string& path);

// True when `name` can be a MAT variable or field name: a letter, then
// letters, digits or underscores, at most 63 characters.
bool mat_valid_name(const std::string& name);

}  // namespace tarvio
