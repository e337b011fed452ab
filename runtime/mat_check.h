// The structure check of a MAT 5 file from outside, made before any of its
// variables is converted: a crafted or damaged file must be refused with a
// reason, never crash the reader or make it allocate what the file cannot
// hold.
//
// Every data element is walked without reading its data. Each length must
// lie inside the element that holds it; each numeric or text part must hold
// exactly the elements its dimensions claim; struct and cell elements must
// have room for every field or cell they claim; nesting is at most 64 deep.
// Compressed variables are inflated as a stream (nothing is kept), and the
// bytes inflated and the memory the variables would take (8 bytes a number,
// 16 a complex number) are each bounded. Sparse matrices, objects, function
// handles and other classes the reader does not convert are refused here.
#pragma once

#include <cstdint>
#include <string>

namespace tarvio {

// The header's verdict: a MAT 5 file, or why not (MAT 4, 7.3/HDF5, other).
// Throws std::runtime_error("MAT file '<path>': ...") for anything else.
void mat5_check_header(const std::string& path);

// Walks the whole file; returns the number of variables. Throws
// std::runtime_error("MAT file '<path>': ...") saying what is wrong and
// where ("is truncated: ...", "is damaged: ...", "... is not supported",
// "... would need ... bytes; at most ... are allowed").
size_t mat5_check(const std::string& path, uint64_t max_bytes);

}  // namespace tarvio
