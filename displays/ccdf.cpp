// The CCDF display.
#include "displays/ccdf.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "runtime/parallel_pieces.h"
#include "runtime/vector_state.h"

namespace tarvio {

namespace {

constexpr size_t kLevels = 201;
// Samples per thread below which the count is left on one thread.
constexpr size_t kGrain = size_t(1) << 16;

}  // namespace

Ccdf ccdf(IqView x) {
  if (x.empty()) throw std::invalid_argument("CCDF: the waveform is empty");
  const size_t n = x.size();
  auto power = [&x](size_t k) {
    const double re = x.real(k), im = x.imag(k);
    return re * re + im * im;
  };

  Ccdf c;
  c.real_valued = true;
  double pmin = INFINITY, pmax = 0;
  long double sum = 0;  // the long sum keeps a constant envelope exactly at its average
  bool finite = true;
  for (size_t k = 0; k < n; ++k) {
    const double p = power(k);
    finite &= std::isfinite(p);
    pmin = std::min(pmin, p);
    pmax = std::max(pmax, p);
    sum += p;
    if (x.imag(k) != 0) c.real_valued = false;
  }
  if (!finite) require_finite(x, "CCDF");  // names the first such sample
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
  const double step = max_level / double(kLevels - 1);

  // hist[j]: samples whose level lies in [x(j), x(j+1)); the count at x(i)
  // is the sum of hist[j] for j >= i. The first guess of j from the division
  // is corrected against the level row itself, so that every sample is
  // compared with exactly the levels the counts are reported at. Each core
  // counts a piece of the samples; counts add up the same in any order.
  std::vector<std::vector<size_t>> pieces(piece_count(n, kGrain), std::vector<size_t>(kLevels, 0));
  parallel_pieces(n, kGrain, [&](size_t piece, size_t b, size_t e) {
    clear_upper_vector_state();  // a logarithm per sample: keep SSE at full speed
    std::vector<size_t>& hist = pieces[piece];
    for (size_t k = b; k < e; ++k) {
      const double r = 10 * std::log10((power(k) + add) / avg);
      if (!(r >= 0)) continue;
      long j = std::min(long(r / step), long(kLevels - 1));
      while (j + 1 < long(kLevels) && c.level_db[size_t(j + 1)] <= r) ++j;
      while (j >= 0 && c.level_db[size_t(j)] > r) --j;
      if (j >= 0) ++hist[size_t(j)];
    }
  });
  std::vector<size_t> hist(kLevels, 0);
  for (const std::vector<size_t>& h : pieces)
    for (size_t j = 0; j < kLevels; ++j) hist[j] += h[j];
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

}  // namespace tarvio
