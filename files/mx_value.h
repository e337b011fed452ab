// Conversion between the dynamic Value and the argument arrays of the C
// array interface (plugin/mxarray/mxarray.h), used for the export plug-in's
// arguments and for the library's C interface.
#pragma once

#include <memory>

#include "plugin/mxarray/mxarray.h"
#include "runtime/value.h"

namespace tarvio {

struct ArrayDeleter {
  void operator()(mxArray* a) const { mx_destroy(a); }
};
using ArrayPtr = std::unique_ptr<mxArray, ArrayDeleter>;

// Real and logical matrices become double arrays, complex ones complex
// double arrays; texts, int32 matrices, records and lists map to their own
// classes. Throws std::bad_alloc when the arrays cannot be created.
ArrayPtr to_array(const Value& v);
// The reverse; a null array is the empty matrix.
Value from_array(const mxArray* a);

}  // namespace tarvio
