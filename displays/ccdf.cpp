// The CCDF display.
#include "displays/ccdf.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "runtime/parallel_pieces.h"
#include "verify/burst_finder.h"
#include "runtime/vector_state.h"

namespace tarvio {

namespace {

constexpr size_t kLevels = 201;
// The average power is summed per block of this many samples, and the block
// sums in order, so the sum does not depend on how many cores share the
// work.
constexpr size_t kBlock = size_t(1) << 14;
// Samples per thread below which a pass is left on one thread.
constexpr size_t kGrain = size_t(1) << 16;

// What the first pass learns of a stretch of samples.
struct Scan {
  double pmin = INFINITY, pmax = 0;
  bool finite = true;
  bool imag = false;  // a non-zero imaginary part was seen
};

// Samples [b, e): powers' extremes and flags, and the power sum of each
// block in sums[(b / kBlock) ...]. Separate loops per layout keep the
// accumulators in registers.
template <bool kImag>
Scan scan(const double* re, const double* im, size_t stride, size_t b, size_t e, long double* sums) {
  Scan s;
  for (size_t q = b; q < e; q += kBlock) {
    const size_t end = std::min(q + kBlock, e);
    long double sum = 0;  // the long sum keeps a constant envelope exactly at its average
    double lo = s.pmin, hi = s.pmax;
    bool finite = true, imag = false;
    for (size_t k = q; k < end; ++k) {
      const double r = re[k * stride], i = kImag ? im[k * stride] : 0.0;
      const double p = r * r + i * i;
      finite &= std::isfinite(p);
      imag |= i != 0;
      lo = std::min(lo, p);
      hi = std::max(hi, p);
      sum += p;
    }
    sums[q / kBlock] = sum;
    s.pmin = lo;
    s.pmax = hi;
    s.finite &= finite;
    s.imag |= imag;
  }
  return s;
}

// Where each sample is counted. With x = (p + add) / avg, a sample counts
// at level i when 10 log10(x) >= level[i]; it goes to bin b, the number of
// levels it reaches (0: below the first, not counted). Deciding this with a
// logarithm per sample costs most of the display's time, so each level also
// has its threshold on x, X = 10^(level/10): away from every threshold (by
// more than kGuard, relative) comparing x with the thresholds gives the same
// answer as the logarithm by a wide margin, and only the rare sample close
// to one takes the logarithm. The result is the same as comparing every
// sample's logarithm with the levels.
//
// The thresholds are found through a table over the leading bits of x (the
// exponent and 12 bits of mantissa): its cells are about 0.001 dB wide,
// far narrower than the 0.1 dB or more between levels, so a cell holds at
// most one threshold and one comparison settles the bin.
class Binning {
 public:
  static constexpr double kGuard = 1e-12;
  static constexpr int kCellShift = 52 - 12;  // 2^12 cells per octave
  static constexpr size_t kMaxCells = size_t(1) << 22;

  explicit Binning(const double* level) : level_(level) {
    t_[0] = -INFINITY;
    for (size_t i = 0; i < kLevels; ++i) t_[i + 1] = std::pow(10.0, level[i] / 10);
    t_[kLevels + 1] = INFINITY;
    for (size_t b = 0; b < kLevels + 2; ++b) {
      below_[b] = t_[b] * (1 - kGuard);
      above_[b] = t_[b] * (1 + kGuard);
    }
    // Cell c + 1 starts at the double whose leading bits are base + c; cell
    // 0 holds everything below 1 (no level reached), the last everything
    // from the top threshold up.
    base_ = int64_t(std::bit_cast<uint64_t>(1.0) >> kCellShift);
    const int64_t top = int64_t(std::bit_cast<uint64_t>(t_[kLevels]) >> kCellShift) - base_ + 2;
    if (top < 2 || size_t(top) > kMaxCells) return;  // no table: every sample takes the logarithm
    table_.resize(size_t(top) + 1);
    table_[0] = 0;
    for (size_t c = 1; c < table_.size(); ++c) {
      const double start = std::bit_cast<double>(uint64_t(base_ + int64_t(c) - 1) << kCellShift);
      table_[c] = uint8_t(std::upper_bound(t_ + 1, t_ + kLevels + 1, start) - (t_ + 1));
    }
  }

  // The bin of x = q / avg for q = p + add. The comparisons use
  // q * (1 / avg), within an ulp or two of x, far inside the guard; a
  // sample that needs the logarithm gets the exact quotient.
  size_t bin(double q, double avg, double inv_avg) const {
    const double x = q * inv_avg;
    if (!(x < INFINITY) || table_.empty()) return exact(q / avg);
    const int64_t c = int64_t(std::bit_cast<uint64_t>(x) >> kCellShift) - base_ + 1;
    size_t b = table_[size_t(std::clamp<int64_t>(c, 0, int64_t(table_.size()) - 1))];
    b += x >= t_[b + 1];
    if (x >= below_[b + 1] || x < above_[b]) return exact(q / avg);
    return b;
  }

 private:
  // The level row itself, as the definition reads.
  size_t exact(double x) const {
    const double r = 10 * std::log10(x);
    if (!(r >= 0)) return 0;
    return size_t(std::upper_bound(level_, level_ + kLevels, r) - level_);
  }

  const double* level_;
  double t_[kLevels + 2], below_[kLevels + 2], above_[kLevels + 2];
  int64_t base_ = 0;
  std::vector<uint8_t> table_;
};

// Samples [b, e) into bins (kLevels + 1 of them, see Binning).
template <bool kImag>
void count(const double* re, const double* im, size_t stride, size_t b, size_t e, double add, double avg,
           const Binning& binning, size_t* bins) {
  const double inv_avg = 1 / avg;
  for (size_t k = b; k < e; ++k) {
    const double r0 = re[k * stride], i0 = kImag ? im[k * stride] : 0.0;
    ++bins[binning.bin(r0 * r0 + i0 * i0 + add, avg, inv_avg)];
  }
}

}  // namespace

Ccdf ccdf(IqView x) {
  if (x.empty()) throw std::invalid_argument("CCDF: the waveform is empty");
  const size_t n = x.size();
  const double* re = x.re_data();
  const double* im = x.im_data();
  const size_t stride = x.stride();

  // First pass, in pieces of whole blocks.
  const size_t blocks = (n + kBlock - 1) / kBlock;
  std::vector<long double> sums(blocks);
  std::vector<Scan> scans(piece_count(blocks, kGrain / kBlock));
  parallel_pieces(blocks, kGrain / kBlock, [&](size_t piece, size_t qb, size_t qe) {
    const size_t b = qb * kBlock, e = std::min(qe * kBlock, n);
    scans[piece] = im ? scan<true>(re, im, stride, b, e, sums.data()) : scan<false>(re, im, stride, b, e, sums.data());
  });
  Ccdf c;
  c.real_valued = true;
  double pmin = INFINITY, pmax = 0;
  bool finite = true;
  for (const Scan& s : scans) {
    pmin = std::min(pmin, s.pmin);
    pmax = std::max(pmax, s.pmax);
    finite &= s.finite;
    if (s.imag) c.real_valued = false;
  }
  if (!finite) require_finite(x, "CCDF");  // names the first such sample
  long double sum = 0;
  for (long double s : sums) sum += s;
  const double add = pmin == 0 ? 1e-300 : 0;
  double avg = double((sum + (long double)add * (long double)n) / (long double)n);
  if (avg == 0) avg = 1e-300;

  // The largest relative level comes from the largest power; the logarithm
  // rises with its argument.
  double top = 10 * std::log10((pmax + add) / avg);
  if (top > 20) top *= 1.01;
  const double max_level = std::max(top, 20.0);
  c.level_db.resize(kLevels);
  for (size_t i = 0; i < kLevels; ++i) c.level_db[i] = max_level * double(i) / double(kLevels - 1);

  // The count at x(i) is the number of samples in bins i + 1 and above.
  // Each core counts a piece of the samples; counts add up the same in any
  // order.
  const Binning binning(c.level_db.data());
  std::vector<std::vector<size_t>> pieces(piece_count(n, kGrain), std::vector<size_t>(kLevels + 1, 0));
  parallel_pieces(n, kGrain, [&](size_t piece, size_t b, size_t e) {
    clear_upper_vector_state();  // SSE at full speed on a thread that paints
    size_t* bins = pieces[piece].data();
    if (im)
      count<true>(re, im, stride, b, e, add, avg, binning, bins);
    else
      count<false>(re, im, stride, b, e, add, avg, binning, bins);
  });
  std::vector<size_t> hist(kLevels, 0);  // hist[j]: samples in bin j + 1
  for (const std::vector<size_t>& bins : pieces)
    for (size_t j = 0; j < kLevels; ++j) hist[j] += bins[j + 1];
  c.percent.resize(kLevels);
  size_t count = 0;
  for (size_t i = kLevels; i-- > 0;) {
    count += hist[i];
    c.percent[i] = double(count) * 100 / double(n);
  }

  c.reference.resize(kLevels);
  for (size_t i = 0; i < kLevels; ++i) {
    const double l = c.level_db[i];
    c.reference[i] =
        c.real_valued ? 100 * std::erfc(std::pow(10, l / 20) / std::sqrt(2.0)) : 100 * std::exp(-std::pow(10, l / 10));
  }

  // The drawn curve ends with the first zero after the last non-zero value.
  size_t last = kLevels;
  for (size_t i = 0; i < kLevels; ++i)
    if (c.percent[i] > 0) last = i;
  c.drawn = last == kLevels ? 1 : std::min(last + 2, kLevels);
  const double smallest = last == kLevels ? 0.001 : c.percent[last];
  c.axis_percent = {std::min(smallest, 0.001), 100};
  return c;
}

Figure ccdf_figure(IqView x, const std::string& title) {
  Figure f;
  f.name = "CCDF " + title;
  Axes& a = current_axes(f);
  a.xlabel = "dB above Average";
  a.ylabel = "Frequency of occurence (%)";
  a.ylog = true;
  a.grid = GridStyle::Dotted;
  if (x.empty()) {
    a.note = "No Data";
    a.x = {0, 20};
    a.y = {0.001, 100};
    return f;
  }
  Ccdf c = ccdf(x);  // checks that every sample is finite
  a.x = {0, c.level_db.back()};
  a.y = c.axis_percent;
  auto levels = std::make_shared<const RVec>(std::move(c.level_db));
  Trace measured;
  measured.label = "Measured (%)";
  measured.x = levels;
  measured.y = std::make_shared<const RVec>(c.percent.begin(), c.percent.begin() + std::ptrdiff_t(c.drawn));
  Trace reference;
  reference.label = c.real_valued ? "Gaussian real (%)" : "Gaussian complex (%)";
  reference.x = levels;
  reference.y = std::make_shared<const RVec>(std::move(c.reference));
  reference.rgb = 0xFF0000;
  reference.style = LineStyle::Dashed;
  a.traces = {std::move(measured), std::move(reference)};
  return f;
}

CVec burst_samples(IqView x, double fs) {
  require_finite(x, "CCDF");
  CVec all(x.size());
  for (size_t k = 0; k < x.size(); ++k) all[k] = x[k];
  if (!(fs > 0) || !std::isfinite(fs)) return all;
  const std::vector<verify::Burst> bursts = verify::find_bursts(all.data(), all.size(), fs);
  if (bursts.empty()) return all;
  size_t kept = 0;
  for (const verify::Burst& b : bursts) {
    std::copy(all.begin() + std::ptrdiff_t(b.start), all.begin() + std::ptrdiff_t(b.end),
              all.begin() + std::ptrdiff_t(kept));
    kept += b.end - b.start;
  }
  all.resize(kept);
  return all;
}

Figure gated_ccdf_figure(IqView x, double fs, const std::string& title) {
  if (x.empty()) return ccdf_figure(x, title);
  const CVec bursts = burst_samples(x, fs);
  Figure f = ccdf_figure(bursts, title);
  Axes& a = current_axes(f);
  if (!a.traces.empty()) a.traces.front().label = "Measured in bursts (%)";
  return f;
}

}  // namespace tarvio
