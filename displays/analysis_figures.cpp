// The analyser's pictures of one packet.
#include "displays/analysis_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvio {

namespace {

constexpr uint32_t kBlue = 0x1F5FBF, kRed = 0xD02020, kGreen = 0x208020;

std::shared_ptr<const RVec> row(RVec v) { return std::make_shared<const RVec>(std::move(v)); }

Trace xy_trace(std::string label, RVec x, RVec y, uint32_t rgb, LineStyle style) {
  Trace t;
  t.label = std::move(label);
  t.x = row(std::move(x));
  t.y = row(std::move(y));
  t.rgb = rgb;
  t.style = style;
  return t;
}

// A horizontal line across [lo, hi] at y.
Trace level_line(std::string label, double lo, double hi, double y) {
  return xy_trace(std::move(label), {lo, hi}, {y, y}, kRed, LineStyle::Dashed);
}

std::string packet_caption(const verify::PacketView& v) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "packet %zu: %s %g Mbit/s, %zu octets", v.index + 1, v.format.c_str(), v.rateMbps,
                v.octets);
  return buf;
}

double peak_of(const std::vector<double>& v, double floor) {
  double m = floor;
  for (double x : v)
    if (std::isfinite(x)) m = std::max(m, x);
  return m;
}

}  // namespace

bool analysis_plot_named(const std::string& name, AnalysisPlot& out) {
  if (name == "constellation")
    out = AnalysisPlot::Constellation;
  else if (name == "evm")
    out = AnalysisPlot::Evm;
  else if (name == "mask")
    out = AnalysisPlot::Mask;
  else
    return false;
  return true;
}

Figure constellation_figure(const verify::PacketView& v, const std::string& title) {
  Figure f;
  f.name = "Constellation " + title;
  Axes& a = current_axes(f);
  a.title = packet_caption(v);
  a.xlabel = "In-phase";
  a.ylabel = "Quadrature";
  a.grid = GridStyle::Dotted;
  if (v.points.empty()) {
    a.note = "No Data";
    return f;
  }
  double peak = 0;
  for (const cplx& p : v.points) peak = std::max({peak, std::abs(p.real()), std::abs(p.imag())});
  for (const cplx& p : v.ideal) peak = std::max({peak, std::abs(p.real()), std::abs(p.imag())});
  // Equal limits, so that the grid is square; outliers beyond twice the
  // grid's extent are left off the view (not out of the data).
  double grid = 0;
  for (const cplx& p : v.ideal) grid = std::max({grid, std::abs(p.real()), std::abs(p.imag())});
  const double lim = std::min(peak, grid > 0 ? 2 * grid : peak) * 1.1;
  a.x = a.y = {-(lim > 0 ? lim : 1), lim > 0 ? lim : 1};
  RVec i, q, ii, iq;
  for (const cplx& p : v.points) {
    i.push_back(p.real());
    q.push_back(p.imag());
  }
  // The points sent, each once.
  std::vector<cplx> sent(v.ideal.begin(), v.ideal.end());
  auto less = [](cplx u, cplx w) { return u.real() != w.real() ? u.real() < w.real() : u.imag() < w.imag(); };
  std::sort(sent.begin(), sent.end(), less);
  sent.erase(std::unique(sent.begin(), sent.end(), [](cplx u, cplx w) { return std::abs(u - w) < 1e-9; }), sent.end());
  for (const cplx& p : sent) {
    ii.push_back(p.real());
    iq.push_back(p.imag());
  }
  a.traces.push_back(xy_trace("Q measured", std::move(i), std::move(q), kBlue, LineStyle::Points));
  a.traces.push_back(xy_trace("Q sent", std::move(ii), std::move(iq), kRed, LineStyle::Points));
  return f;
}

Figure evm_figure(const verify::PacketView& v, const std::string& title) {
  Figure f;
  f.name = "EVM " + title;
  const bool ofdm = v.family == verify::Family::Ofdm;
  // OFDM in dB, as its limits are given; DSSS in percent.
  auto shown = [&](double percent) { return ofdm ? 20 * std::log10(std::max(percent / 100, 1e-10)) : percent; };
  const double limit = shown(v.evmLimitPercent);
  auto fill = [&](Axes& a, const std::vector<double>& x, const std::vector<double>& y, const std::string& xlabel,
                  double lo, double hi) {
    a.xlabel = xlabel;
    a.ylabel = ofdm ? "EVM (dB)" : "EVM (%)";
    a.grid = GridStyle::Dotted;
    if (y.empty()) {
      a.note = "No Data";
      return;
    }
    RVec ys(y.size());
    std::transform(y.begin(), y.end(), ys.begin(), shown);
    a.x = {lo, hi};
    if (ofdm) {
      double low = limit, high = limit;
      for (double d : ys) low = std::min(low, d), high = std::max(high, d);
      a.y = {std::max(-100.0, std::floor(low / 10) * 10 - 5), std::ceil(high / 10) * 10 + 5};
    } else {
      a.y = {0, 1.15 * peak_of(ys, limit)};
    }
    a.traces.push_back(
        xy_trace(a.ylabel, x, std::move(ys), kBlue, x.size() <= 64 ? LineStyle::Points : LineStyle::Solid));
    a.traces.push_back(level_line(ofdm ? "limit (dB)" : "limit (%)", lo, hi, limit));
  };
  // The packet by number only: the EVM panel shares its row with the
  // constellation, whose title gives the rest.
  const std::string packet = "packet " + std::to_string(v.index + 1) + ": ";
  const int rows = ofdm ? 2 : 1;
  if (ofdm) {
    Axes& c = f.axes[static_cast<size_t>(subplot(f, rows, 1, 0))];
    c.title = packet + "EVM per sub-carrier";
    fill(c, v.carriers, v.perCarrier, "Sub-carrier", -27, 27);
  }
  Axes& s = f.axes[static_cast<size_t>(subplot(f, rows, 1, rows - 1))];
  RVec n(v.perSymbol.size());
  for (size_t k = 0; k < n.size(); ++k) n[k] = static_cast<double>(k + 1);
  s.title = ofdm ? "EVM per symbol" : packet + "EVM per block of 1000 chips";
  fill(s, n, v.perSymbol, ofdm ? "DATA symbol" : "Block", 0, static_cast<double>(n.size()) + 1);
  return f;
}

Figure mask_figure(const verify::PacketView& v, const std::string& title) {
  Figure f;
  f.name = "Spectrum Mask " + title;
  Axes& sp = f.axes[static_cast<size_t>(subplot(f, 2, 1, 0))];
  sp.title = packet_caption(v) + ": spectrum and mask";
  char rbw[64];
  std::snprintf(rbw, sizeof rbw, "Frequency (MHz)  RBW %.1f kHz", v.rbwHz / 1e3);
  sp.xlabel = rbw;
  sp.ylabel = "Level (dBr)";
  sp.grid = GridStyle::Dotted;
  if (v.spectrumDb.empty()) {
    sp.note = "No Data";
  } else {
    const size_t n = v.spectrumDb.size();
    RVec fx(n);
    for (size_t k = 0; k < n; ++k) fx[k] = (v.f0Hz + static_cast<double>(k) * v.dfHz) / 1e6;
    sp.x = {fx.front(), fx.back()};
    double low = 0;
    for (double d : v.spectrumDb) low = std::min(low, d);
    sp.y = {std::max(-100.0, std::floor(low / 10) * 10), 10};
    Trace s = xy_trace("Level (dBr)", fx, v.spectrumDb, kBlue, LineStyle::Solid);
    Trace m = xy_trace("Mask (dBr)", fx, v.maskDb, kRed, LineStyle::Dashed);
    m.x = s.x;  // one frequency column
    sp.traces.push_back(std::move(s));
    sp.traces.push_back(std::move(m));
  }
  Axes& pt = f.axes[static_cast<size_t>(subplot(f, 2, 1, 1))];
  pt.title = "Power against time";
  pt.xlabel = "Time (us)";
  pt.ylabel = "Power (dB)";
  pt.grid = GridStyle::Dotted;
  if (v.powerDb.empty()) {
    pt.note = "No Data";
  } else {
    const double t0 = v.t0S * 1e6, dt = v.dtS * 1e6;
    pt.traces.push_back(uniform_trace("Power (dB)", v.powerDb, t0, dt, kBlue));
    double low = 0;
    for (double d : v.powerDb)
      if (std::isfinite(d)) low = std::min(low, d);
    const double lo = std::max(-100.0, std::floor(low / 10) * 10), hi = 10;
    pt.x = {t0, t0 + dt * static_cast<double>(v.powerDb.size())};
    pt.y = {lo, hi};
    pt.traces.push_back(
        xy_trace("burst start (us)", {v.burstStartS * 1e6, v.burstStartS * 1e6}, {lo, hi}, kGreen, LineStyle::Solid));
    pt.traces.push_back(
        xy_trace("burst end (us)", {v.burstEndS * 1e6, v.burstEndS * 1e6}, {lo, hi}, kGreen, LineStyle::Solid));
  }
  return f;
}

Figure analysis_figure(AnalysisPlot kind, const verify::PacketView& v, const std::string& title) {
  switch (kind) {
    case AnalysisPlot::Constellation:
      return constellation_figure(v, title);
    case AnalysisPlot::Evm:
      return evm_figure(v, title);
    case AnalysisPlot::Mask:
      break;
  }
  return mask_figure(v, title);
}

}  // namespace tarvio
