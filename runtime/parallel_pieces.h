// Splitting one long loop over the processor's cores. Used where a single
// pass over tens of millions of samples (a display's logarithms, a
// quantisation) would otherwise keep the user waiting on one core.
#pragma once

#include <cstddef>
#include <functional>

namespace tarvio {

// The number of pieces parallel_pieces cuts n items into: one per core (at
// most 8), and none smaller than `grain` items; at least 1.
size_t piece_count(size_t n, size_t grain);

// Runs body(piece, begin, end) for piece_count(n, grain) consecutive pieces
// of [0, n), each on its own thread (the last on the caller's, as are any
// the system cannot give a thread to), and returns when all have ended. The
// pieces are numbered from 0 in order, so a body can keep a partial result
// per piece and the caller combine them in a fixed order. An error raised
// by a body is raised again here once every piece has ended (the first
// piece's error when several fail).
void parallel_pieces(size_t n, size_t grain, const std::function<void(size_t, size_t, size_t)>& body);

}  // namespace tarvio
