// One thread per piece of a long loop.
#include "runtime/parallel_pieces.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace tarvio {

size_t piece_count(size_t n, size_t grain) {
  const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
  return std::clamp<size_t>(n / std::max<size_t>(grain, 1), 1, cores);
}

void parallel_pieces(size_t n, size_t grain, const std::function<void(size_t, size_t, size_t)>& body) {
  const size_t pieces = piece_count(n, grain);
  std::vector<std::exception_ptr> errors(pieces);
  auto run = [&](size_t p) {
    try {
      body(p, n * p / pieces, n * (p + 1) / pieces);
    } catch (...) {
      errors[p] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(pieces - 1);
  size_t started = 0;
  try {
    for (; started + 1 < pieces; ++started) threads.emplace_back(run, started);
  } catch (const std::system_error&) {
    // No thread to be had: the caller runs the pieces that have none.
  }
  for (size_t p = started; p < pieces; ++p) run(p);
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
}

}  // namespace tarvio
