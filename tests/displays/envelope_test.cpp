// Per-column reduction: a reduced trace keeps each column's extremes and
// its first and last sample, short or unordered traces come back whole, and
// only the samples in view (and one beyond each edge) are read.
#include "displays/envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

namespace tarvio {
namespace {

Trace noise(size_t n, double x0, double dx) {
  std::mt19937 gen(3);
  std::normal_distribution<double> g;
  RVec y(n);
  for (double& v : y) v = g(gen);
  return uniform_trace("y", std::move(y), x0, dx);
}

TEST(Envelope, KeepsEachColumnsExtremesAndEnds) {
  const Trace t = noise(100000, -5, 1e-4);  // x from -5 to 5
  const double lo = -2, hi = 3;
  const int columns = 250;
  const std::vector<PlotPoint> pts = envelope(t, lo, hi, columns);
  EXPECT_LE(pts.size(), 4u * columns + 8);
  // Brute force: per column the first, last, smallest and largest sample.
  const double per_x = columns / (hi - lo);
  auto column = [&](double x) { return long(std::floor((x - lo) * per_x)); };
  std::map<long, std::vector<double>> per;
  for (size_t k = 0; k < t.size(); ++k) {
    const double x = t.x_at(k);
    if (x >= lo && x < hi) per[column(x)].push_back((*t.y)[k]);
  }
  std::map<long, std::vector<double>> got;
  for (const PlotPoint& p : pts)
    if (p.x >= lo && p.x < hi) got[column(p.x)].push_back(p.y);
  ASSERT_EQ(got.size(), per.size());
  for (const auto& [col, ys] : per) {
    const std::vector<double>& g = got[col];
    EXPECT_EQ(*std::min_element(g.begin(), g.end()), *std::min_element(ys.begin(), ys.end())) << col;
    EXPECT_EQ(*std::max_element(g.begin(), g.end()), *std::max_element(ys.begin(), ys.end())) << col;
    EXPECT_EQ(g.front(), ys.front()) << col;
    EXPECT_EQ(g.back(), ys.back()) << col;
  }
  // The line reaches past both edges; x never goes back.
  EXPECT_LT(pts.front().x, lo);
  EXPECT_GT(pts.back().x, hi);
  EXPECT_TRUE(std::is_sorted(pts.begin(), pts.end(), [](auto& a, auto& b) { return a.x < b.x; }));
}

TEST(Envelope, BlockSummaryGivesTheSamePoints) {
  Trace t = noise(300000, 0, 0.5);
  RVec y = *t.y;
  for (size_t k = 1000; k < 1300; ++k) y[k] = NAN;  // a gap over whole and partial blocks
  y[77777] = NAN;
  t.y = std::make_shared<const RVec>(std::move(y));
  const TraceSummary s(*t.y);
  const struct {
    double lo, hi;
    int columns;
  } views[] = {{0, 150000, 1000}, {-10, 160000, 333}, {400.3, 900.7, 7}, {37000, 39000, 5}, {0, 150000, 1}};
  for (const auto& v : views) {
    const auto plain = envelope(t, v.lo, v.hi, v.columns), fast = envelope(t, v.lo, v.hi, v.columns, &s);
    ASSERT_EQ(plain.size(), fast.size()) << v.lo << " " << v.hi;
    for (size_t i = 0; i < plain.size(); ++i) {
      EXPECT_EQ(plain[i].x, fast[i].x) << i;
      EXPECT_EQ(plain[i].y, fast[i].y) << i;
    }
  }
}

TEST(Envelope, ShortUnorderedAndOutOfViewTraces) {
  const Trace t = noise(1000, 0, 1);
  // Zoomed in to 20 samples on 100 columns: the samples themselves.
  const auto in_view = envelope(t, 100, 119, 100);
  ASSERT_EQ(in_view.size(), 22u);  // 100 ... 119 and one each side
  EXPECT_EQ(in_view.front().x, 99);
  EXPECT_EQ(in_view[1].y, (*t.y)[100]);
  EXPECT_TRUE(envelope(t, 2000, 3000, 100).empty());

  Trace unordered = t;
  unordered.x = std::make_shared<const RVec>(RVec{3, 1, 2});
  unordered.y = std::make_shared<const RVec>(RVec{1, 2, 3});
  EXPECT_EQ(envelope(unordered, 0, 5, 1).size(), 3u);
  EXPECT_TRUE(envelope(Trace{}, 0, 1, 10).empty());
}

}  // namespace
}  // namespace tarvio
