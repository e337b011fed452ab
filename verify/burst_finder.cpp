// Power-threshold burst detection over blocks of 0.4 us.
#include "verify/burst_finder.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarvio::verify {

// Mean power of blocks of 0.4 us and the threshold between idle and burst
// (from the 10th and 99th percentiles of the block powers); false when
// there is no idle part.
bool BurstFinder::block_powers(const cplx* x, size_t n, double sample_rate) {
  w_ = std::max<size_t>(1, static_cast<size_t>(std::lround(sample_rate * 0.4e-6)));
  const size_t blocks = n / w_ + (n % w_ ? 1 : 0);
  p_.resize(blocks);
  threshold_ = 0;
  turnable_ = false;
  idle_ = false;
  if (blocks == 0) return false;
  for (size_t b = 0; b < blocks; ++b) {
    const size_t e = std::min(n, (b + 1) * w_);
    double acc = 0;
    for (size_t i = b * w_; i < e; ++i) acc += std::norm(x[i]);
    p_[b] = acc / static_cast<double>(e - b * w_);
    // A NaN or an overflow counts as the loudest block there can be: the
    // percentiles need values that can be put in order.
    if (!std::isfinite(p_[b])) p_[b] = std::numeric_limits<double>::max();
  }
  order_.assign(p_.begin(), p_.end());
  const auto at = [&](size_t k) {
    std::nth_element(order_.begin(), order_.begin() + static_cast<long>(k), order_.end());
    return order_[k];
  };
  const double floor = at(blocks / 10);
  const double top = at(std::min(blocks - 1, blocks - 1 - blocks / 100));
  if (!(top > 0)) return false;
  threshold_ = floor > top * 1e-6 ? std::sqrt(floor * top) : top * 1e-3;
  idle_ = floor <= top * 0.1;  // else no idle part to speak of
  return idle_;
}

const std::vector<Burst>& BurstFinder::find(const cplx* x, size_t n, double sample_rate) {
  block_powers(x, n, sample_rate);
  return bursts_from_powers(n, sample_rate);
}

const std::vector<Burst>& BurstFinder::find_turned(const cplx* x, size_t n, double sample_rate, size_t turn) {
  // The blocks of the turned row hold the same samples in the same order,
  // so their powers, and the threshold from their percentiles, are the same.
  if (turnable_ && n == turnableN_ && sample_rate == turnableRate_ && n % w_ == 0 && turn % w_ == 0 && turn < n) {
    std::rotate(p_.begin(), p_.begin() + static_cast<long>(turn / w_), p_.end());
    turnable_ = false;
  } else {
    block_powers(x, n, sample_rate);
  }
  return bursts_from_powers(n, sample_rate);
}

const std::vector<Burst>& BurstFinder::bursts_from_powers(size_t n, double sample_rate) {
  bursts_.clear();
  if (!idle_) {
    if (!p_.empty() && threshold_ > 0) bursts_.push_back({0, n});
    return bursts_;
  }
  const size_t blocks = p_.size();
  const size_t gap = std::max<size_t>(1, static_cast<size_t>(std::lround(2e-6 * sample_rate / w_)));
  size_t b = 0;
  while (b < blocks) {
    while (b < blocks && p_[b] < threshold_) ++b;
    if (b == blocks) break;
    const size_t s = b;
    size_t last = b, quiet = 0;
    for (; b < blocks; ++b) {
      if (p_[b] >= threshold_) {
        last = b;
        quiet = 0;
      } else if (++quiet > gap) {
        break;
      }
    }
    bursts_.push_back({s * w_, std::min(n, (last + 1) * w_)});
  }
  return bursts_;
}

size_t BurstFinder::loop_start(const cplx* x, size_t n, double sample_rate) {
  const bool idle = block_powers(x, n, sample_rate);
  turnable_ = true;
  turnableN_ = n;
  turnableRate_ = sample_rate;
  if (!idle || p_.front() < threshold_) return 0;
  // The idle run that ends last before the row wraps round.
  size_t e = p_.size();
  while (e > 0 && p_[e - 1] >= threshold_) --e;
  if (e == 0) return 0;
  size_t b = e;
  while (b > 0 && p_[b - 1] < threshold_) --b;
  return std::min(n - 1, (b + e) / 2 * w_);
}

std::vector<Burst> find_bursts(const cplx* x, size_t n, double sample_rate) {
  BurstFinder f;
  return f.find(x, n, sample_rate);
}

size_t loop_start(const cplx* x, size_t n, double sample_rate) {
  BurstFinder f;
  return f.loop_start(x, n, sample_rate);
}

}  // namespace tarvio::verify
