// Power-threshold burst detection over blocks of 0.4 us.
#include "verify/burst_finder.h"

#include <algorithm>
#include <cmath>

namespace tarvio::verify {

namespace {

// Mean power of blocks of 0.4 us and the threshold between idle and burst;
// false when there is no idle part.
bool block_powers(const cplx* x, size_t n, double sample_rate, size_t& w, std::vector<double>& p, double& threshold) {
  w = std::max<size_t>(1, static_cast<size_t>(std::lround(sample_rate * 0.4e-6)));
  const size_t blocks = n / w + (n % w ? 1 : 0);
  if (blocks == 0) return false;
  p.assign(blocks, 0.0);
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
  if (!(top > 0)) return false;
  threshold = floor > top * 1e-6 ? std::sqrt(floor * top) : top * 1e-3;
  return floor <= top * 0.1;  // else no idle part to speak of
}

}  // namespace

std::vector<Burst> find_bursts(const cplx* x, size_t n, double sample_rate) {
  std::vector<Burst> out;
  size_t w = 1;
  std::vector<double> p;
  double threshold = 0;
  if (!block_powers(x, n, sample_rate, w, p, threshold)) {
    if (!p.empty() && threshold > 0) out.push_back({0, n});
    return out;
  }
  const size_t blocks = p.size();
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

size_t loop_start(const cplx* x, size_t n, double sample_rate) {
  size_t w = 1;
  std::vector<double> p;
  double threshold = 0;
  if (!block_powers(x, n, sample_rate, w, p, threshold) || p.front() < threshold) return 0;
  // The idle run that ends last before the row wraps round.
  size_t e = p.size();
  while (e > 0 && p[e - 1] >= threshold) --e;
  if (e == 0) return 0;
  size_t b = e;
  while (b > 0 && p[b - 1] < threshold) --b;
  return std::min(n - 1, (b + e) / 2 * w);
}

}  // namespace tarvio::verify
