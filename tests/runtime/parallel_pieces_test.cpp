// Splitting a loop over the cores: every item visited once, pieces in
// order and no smaller than asked, errors raised once all pieces are done.
#include "runtime/parallel_pieces.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tarvio {
namespace {

TEST(ParallelPieces, VisitsEveryItemOnceInOrderedPiecesOfAtLeastTheGrain) {
  const size_t cores = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
  struct Case {
    size_t n, grain, pieces;
  };
  for (const Case& c : {Case{0, 10, 1}, Case{5, 10, 1}, Case{19, 10, 1}, Case{1000, 10, std::min<size_t>(cores, 100)},
                        Case{1000, 0, cores}}) {
    EXPECT_EQ(piece_count(c.n, c.grain), c.pieces) << c.n << " / " << c.grain;
    std::vector<int> seen(c.n, 0);
    std::vector<std::pair<size_t, size_t>> ranges(c.pieces);
    parallel_pieces(c.n, c.grain, [&](size_t p, size_t b, size_t e) {
      ranges.at(p) = {b, e};
      for (size_t k = b; k < e; ++k) ++seen[k];
    });
    for (int s : seen) ASSERT_EQ(s, 1);
    size_t next = 0;
    for (const auto& [b, e] : ranges) {
      EXPECT_EQ(b, next);
      if (c.pieces > 1) {
        EXPECT_GE(e - b, c.grain);
      }
      next = e;
    }
    EXPECT_EQ(next, c.n);
  }
}

TEST(ParallelPieces, AnErrorIsRaisedAfterEveryPieceHasEnded) {
  const size_t pieces = piece_count(1 << 20, 1);
  std::atomic<size_t> ended{0};
  EXPECT_THROW(parallel_pieces(1 << 20, 1,
                               [&](size_t p, size_t, size_t) {
                                 ++ended;
                                 if (p == 0) throw std::runtime_error("piece 0 failed");
                               }),
               std::runtime_error);
  EXPECT_EQ(ended.load(), pieces);
}

}  // namespace
}  // namespace tarvio
