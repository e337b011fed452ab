// The waterfall display.
#include "displays/waterfall.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "displays/dft.h"
#include "displays/units.h"
#include "runtime/vector_state.h"

namespace tarvio {

namespace {

constexpr size_t kBlock = 256;
constexpr size_t kMaxRows = 512;
constexpr double kFloorDb = -100;

}  // namespace

Figure waterfall_figure(const CVec& x, double fs, const std::string& title) {
  if (!(fs > 0) || !std::isfinite(fs))
    throw std::invalid_argument("waterfall: the sample rate must be a positive number");
  require_finite(x, "waterfall");
  Figure f;
  f.name = "Waterfall " + title;
  Axes& a = current_axes(f);
  if (x.empty()) {
    a.note = "No Data";
    return f;
  }
  const size_t len = std::min(kBlock, x.size());
  const size_t blocks = x.size() / len;
  const size_t group = (blocks + kMaxRows - 1) / kMaxRows;
  const size_t rows = (blocks + group - 1) / group;
  const size_t half = len / 2;

  ImageLayer img;
  img.cols = len;
  img.rows = rows;
  img.values.assign(rows * len, 0.0f);
  std::vector<double> power(rows * len, 0.0);
  Dft dft(len);
  clear_upper_vector_state();  // a logarithm per cell: keep SSE at full speed
  for (size_t b = 0; b < blocks; ++b) {
    std::copy(x.begin() + std::ptrdiff_t(b * len), x.begin() + std::ptrdiff_t((b + 1) * len), dft.data());
    dft.run();
    double* row = &power[(b / group) * len];
    for (size_t i = 0; i < len; ++i) row[i] += std::norm(dft.data()[i < half ? len - half + i : i - half]);
  }
  // A row's power is the mean over its blocks (the last row may hold fewer).
  for (size_t r = 0; r < rows; ++r) {
    const double in_row = double(std::min(group, blocks - r * group));
    for (size_t i = 0; i < len; ++i) power[r * len + i] /= in_row;
  }
  double top = 0;
  for (double p : power) top = std::max(top, p);
  for (size_t i = 0; i < power.size(); ++i) {
    const double db = top > 0 && power[i] > 0 ? 10 * std::log10(power[i] / top) : kFloorDb;
    img.values[i] = float(std::max(db, kFloorDb));
  }

  const AxisUnit fu = frequency_unit(fs / 2);
  const double seconds = double(rows * group * len) / fs;
  const AxisUnit tu = time_unit(seconds);
  img.x_lo = fu(-double(half) * fs / double(len));
  img.x_hi = fu(double(len - half) * fs / double(len));
  img.y_lo = 0;
  img.y_hi = tu(seconds);
  img.v_lo = kFloorDb;
  img.v_hi = 0;
  a.x = axis_limits({img.x_lo, img.x_hi});
  a.y = axis_limits({img.y_lo, img.y_hi});
  a.xlabel = "Frequency (" + fu.name + ")";
  a.ylabel = "Time (" + tu.name + ")";
  a.image = std::move(img);
  return f;
}

}  // namespace tarvio
