// The binary interface between the core library and the transport module
// libhwIO.so: one C entry point taking the operation code and its argument
// values. Both sides are built together, so the values cross as tarvio::Value.
#pragma once

#include "runtime/value.h"

namespace tarvio::hwio {

// Name of the module file and of its entry point.
inline constexpr const char* kModuleFile = "libhwIO.so";
inline constexpr const char* kEntryName = "tarvio_hwIO";
// Most results any code returns.
inline constexpr int kMaxResults = 4;

// The entry point: the code, nin argument values, room for nout_max results.
// Returns 0 when the operation ran (its results are out[0 .. *nout-1]; an
// instrument failure is a result, status non-zero with a text). Returns
// non-zero when the module raised an error; out[0] then holds its text.
using EntryFn = int (*)(int code, int nin, const Value* in, int nout_max, Value* out, int* nout);

}  // namespace tarvio::hwio
