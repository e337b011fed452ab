// Power-threshold burst detection over blocks of 0.4 us.
#include "verify/burst_finder.h"

#include <algorithm>
#include <cmath>

namespace tarvio::verify {

std::vector<Burst> find_bursts(const cplx* x, size_t n, double sample_rate) {
  std::vector<Burst> out;
  const size_t w = std::max<size_t>(1, static_cast<size_t>(std::lround(sample_rate * 0.4e-6)));
  const size_t blocks = n / w + (n % w ? 1 : 0);
  if (blocks == 0) return out;
  std::vector<double> p(blocks, 0.0);
  for (size_t b = 0; b < blocks; ++b) {
    const size_t e = std::min(n, (b + 1) * w);
    double acc = 0;
    for (size_t i = b * w; i < e; ++i) acc += std::norm(x[i]);
    p[b] = acc / static_cast<double>(e - b * w);
  }
  std::vector<double> sorted = p;
  std::sort(sorted.begin(), sorted.end());
  const double floor = sorted[blocks / 10];
  const double top = sorted[std::min(blocks - 1, blocks - 1 - blocks / 100)];
  if (!(top > 0)) return out;
  const double threshold = floor > top * 1e-6 ? std::sqrt(floor * top) : top * 1e-3;
  if (floor > top * 0.1) {  // no idle part to speak of: one burst
    out.push_back({0, n});
    return out;
  }
  const size_t gap = std::max<size_t>(1, static_cast<size_t>(std::lround(2e-6 * sample_rate / w)));
  size_t b = 0;
  while (b < blocks) {
    while (b < blocks && p[b] < threshold) ++b;
    if (b == blocks) break;
    const size_t s = b;
    size_t last = b, quiet = 0;
    for (; b < blocks; ++b) {
      if (p[b] >= threshold) {
        last = b;
        quiet = 0;
      } else if (++quiet > gap) {
        break;
      }
    }
    out.push_back({s * w, std::min(n, (last + 1) * w)});
  }
  return out;
}

}  // namespace tarvio::verify
