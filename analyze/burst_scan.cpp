// Burst detection against the noise floor, in two passes over the capture.
#include "analyze/burst_scan.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarvio::analyze {

namespace {

constexpr double kLowDb = -400, kBinDb = 0.1;
constexpr size_t kBins = 8000;  // -400 to +400 dB
constexpr size_t kBlock = 1 << 20;

// Reads the capture in blocks of whole windows.
using Reader = std::function<void(size_t from, size_t n, CVec& out, size_t& bad)>;

double percentile(const std::vector<size_t>& hist, size_t total, double q) {
  const double want = q * static_cast<double>(total);
  double seen = 0;
  for (size_t b = 0; b < hist.size(); ++b) {
    seen += static_cast<double>(hist[b]);
    if (seen >= want) return kLowDb + (static_cast<double>(b) + 0.5) * kBinDb;
  }
  return kLowDb + static_cast<double>(hist.size()) * kBinDb;
}

BurstScan scan(size_t total, double fs, const Reader& read, const std::function<void(size_t, size_t)>& progress) {
  BurstScan r;
  // 1 us windows, of 16 samples at least: fewer would let noise alone
  // rise far above its mean.
  const size_t w = std::max<size_t>(16, static_cast<size_t>(std::lround(fs * 1e-6)));
  const size_t block = std::max(w, kBlock / w * w);
  std::vector<size_t> hist(kBins, 0);
  size_t zeros = 0, windows = 0;
  CVec x;
  auto window_power = [&](const cplx* p, size_t n) {
    double s = 0;
    for (size_t k = 0; k < n; ++k) s += std::norm(p[k]);
    return s / static_cast<double>(n);
  };
  for (size_t from = 0; from < total; from += block) {
    size_t bad = 0;
    read(from, std::min(block, total - from), x, bad);
    r.notFinite += bad;
    for (size_t k = 0; k + w <= x.size(); k += w, ++windows) {
      const double p = window_power(x.data() + k, w);
      if (!(p > 0)) {
        ++zeros;
        continue;
      }
      const double db = 10 * std::log10(p);
      const double b = std::floor((db - kLowDb) / kBinDb);
      ++hist[static_cast<size_t>(std::clamp(b, 0.0, static_cast<double>(kBins - 1)))];
    }
    if (progress) progress(from + x.size(), 2 * total);
  }
  const size_t loud = windows - zeros;
  if (loud == 0) {
    r.noiseOnly = true;
    r.floorDb = r.peakDb = r.thresholdDb = -std::numeric_limits<double>::infinity();
    return r;
  }
  r.peakDb = percentile(hist, loud, 0.995);
  if (zeros * 100 >= windows) {
    // Idle parts of exact zeros: the bursts are whatever is not far below
    // the burst level.
    r.floorDb = -std::numeric_limits<double>::infinity();
    r.thresholdDb = std::max(percentile(hist, loud, 0.0), r.peakDb - 20);
  } else {
    // The mean power of w noise samples is Gamma(w, 1/w) distributed: its
    // 1st percentile (Wilson-Hilferty) lies below the mean by what is
    // added back here (3 dB for 16 samples, 1.4 dB for 61).
    const double a = 1.0 / (9.0 * static_cast<double>(w));
    const double q01 = std::pow(1 - a - 2.326 * std::sqrt(a), 3);
    r.floorDb = percentile(hist, loud, 0.01) - 10 * std::log10(q01);
    const double rise = r.peakDb - r.floorDb;
    if (rise < 4) {
      r.noiseOnly = true;
      r.thresholdDb = r.peakDb;
      return r;
    }
    r.thresholdDb = r.floorDb + std::clamp(rise / 2, 2.0, 20.0);
  }
  const double threshold = std::pow(10, r.thresholdDb / 10);
  // The threshold is applied to the mean of the last 4 windows, which
  // spreads a burst near the noise far less than one window does. Dips of
  // up to 6 us are bridged; a burst spans 4 us and holds 3 means above the
  // threshold at least (noise alone passes it almost never).
  const size_t bridge = std::max<size_t>(1, static_cast<size_t>(std::lround(6e-6 * fs / static_cast<double>(w))));
  const size_t shortest = static_cast<size_t>(std::lround(4e-6 * fs));
  constexpr size_t kMean = 4;
  double recent[kMean] = {};
  size_t seen = 0;
  bool in = false;
  size_t start = 0, lastLoud = 0, count = 0;
  auto close = [&]() {
    const size_t end = std::min(total, lastLoud + w);
    if (end - start >= shortest && count >= 3) r.bursts.push_back({start, end});
    in = false;
  };
  for (size_t from = 0; from < total; from += block) {
    size_t bad = 0;
    read(from, std::min(block, total - from), x, bad);
    for (size_t k = 0; k + w <= x.size(); k += w) {
      const size_t at = from + k;
      recent[seen++ % kMean] = window_power(x.data() + k, w);
      const size_t held = std::min(seen, kMean);
      double mean = 0;
      for (size_t i = 0; i < held; ++i) mean += recent[i];
      mean /= static_cast<double>(held);
      if (mean > threshold) {
        if (!in) {
          // The burst starts at the oldest window of the mean that is
          // above the threshold by itself (the newest when none is).
          in = true;
          start = at;
          for (size_t age = held; age-- > 1;)
            if (recent[(seen - 1 - age) % kMean] > threshold) {
              start = at - age * w;
              break;
            }
          count = 0;
        }
        lastLoud = at;
        ++count;
      } else if (in && at > lastLoud + bridge * w) {
        close();
      }
    }
    if (progress) progress(total + from + x.size(), 2 * total);
  }
  if (in) {
    // A burst running to the end of the capture ends with it.
    lastLoud = total - w;
    close();
  }
  if (r.bursts.empty()) r.noiseOnly = true;
  return r;
}

}  // namespace

BurstScan scan_bursts(const CaptureSource& src, const std::function<void(size_t, size_t)>& progress) {
  return scan(src.size(), src.sample_rate(),
              [&](size_t from, size_t n, CVec& out, size_t& bad) { bad = src.read(from, n, out); }, progress);
}

BurstScan scan_bursts(const CVec& x, double sample_rate) {
  return scan(x.size(), sample_rate,
              [&](size_t from, size_t n, CVec& out, size_t& bad) {
                out.assign(x.begin() + static_cast<long>(from), x.begin() + static_cast<long>(from + n));
                bad = 0;
                for (cplx& v : out)
                  if (!std::isfinite(v.real()) || !std::isfinite(v.imag())) {
                    v = 0;
                    ++bad;
                  }
              },
              {});
}

}  // namespace tarvio::analyze
