// The figure tools and their registration by name.
#include "displays/figure_tools.h"

#include <cmath>
#include <stdexcept>

#include "displays/ccdf.h"
#include "displays/eye_diagram.h"
#include "displays/iq_time.h"
#include "displays/scatter_diagram.h"
#include "displays/spectrum.h"
#include "displays/waterfall.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

// The display the tools act on: the given handle, else the current one.
double target(DisplayHost& host, double handle, const std::string& op) {
  const double h = handle != 0 ? handle : host.current();
  if (h == 0 || host.figure(h) == nullptr)
    throw std::runtime_error(op + ": " +
                             (handle != 0 ? "no display window has the handle " + std::to_string(handle)
                                          : std::string("no display window is open")));
  return h;
}

// The current display, opened empty when there is none.
double current_or_new(DisplayHost& host) {
  const double h = host.current();
  return h != 0 && host.figure(h) != nullptr ? h : host.open(Figure{}, 0);
}

void label(const std::string& op, const std::string& text, std::string Axes::*field) {
  DisplayHost& host = require_display_host(op);
  const double h = current_or_new(host);
  current_axes(*host.figure(h)).*field = text;
  host.changed(h);
}

}  // namespace

double KV_PlotSpectrum(double parent, IqView wave, double sampleRate, const std::string& title) {
  DisplayHost& host = require_display_host("KV_PlotSpectrum");
  return host.open(spectrum_figure(wave, sampleRate, title), parent);
}

double KV_PlotIQTime(double parent, IqView wave, double sampleRate, const std::string& title, bool sameAxes) {
  DisplayHost& host = require_display_host("KV_PlotIQTime");
  return host.open(iq_time_figure(wave, sampleRate, title, sameAxes), parent);
}

double KV_PlotCCDF(double parent, IqView wave, double sampleRate, const std::string& title) {
  (void)sampleRate;  // levels are relative to the average power, whatever the rate
  DisplayHost& host = require_display_host("KV_PlotCCDF");
  return host.open(ccdf_figure(wave, title), parent);
}

double KV_PlotCCDFGated(double parent, IqView wave, double sampleRate, const std::string& title) {
  DisplayHost& host = require_display_host("KV_PlotCCDFGated");
  return host.open(gated_ccdf_figure(wave, sampleRate, title), parent);
}

double KV_PlotWaterfall(double parent, const CVec& wave, double sampleRate, const std::string& title) {
  DisplayHost& host = require_display_host("KV_PlotWaterfall");
  return host.open(waterfall_figure(wave, sampleRate, title), parent);
}

double KV_PlotEyeDiagram(double parent, const CVec& wave, double sampleRate, const std::string& title,
                         double samplesPerSymbol, double numSymbols, double delaySamples) {
  (void)sampleRate;  // the x axis counts symbol periods
  DisplayHost& host = require_display_host("KV_PlotEyeDiagram");
  if (!(numSymbols >= 0) || !(delaySamples >= 0))
    throw std::invalid_argument("KV_PlotEyeDiagram: the number of symbols and the delay must be numbers >= 0");
  return host.open(eye_diagram_figure(wave, title, samplesPerSymbol, size_t(round_half_away(numSymbols)),
                                      size_t(round_half_away(delaySamples))),
                   parent);
}

double KV_PlotScatterDiagram(double parent, const CVec& wave, double sampleRate, const std::string& title,
                             bool traceOn) {
  (void)sampleRate;  // the plane has no time axis
  DisplayHost& host = require_display_host("KV_PlotScatterDiagram");
  return host.open(scatter_figure(wave, title, traceOn), parent);
}

void KV_Zoom(double handle, ToolMode mode) {
  DisplayHost& host = require_display_host("KV_Zoom");
  host.tool(target(host, handle, "KV_Zoom"), FigureTool::Zoom, mode);
}

void KV_Rotate(double handle, ToolMode mode) {
  DisplayHost& host = require_display_host("KV_Rotate");
  host.tool(target(host, handle, "KV_Rotate"), FigureTool::Rotate, mode);
}

void Clf(double handle) {
  DisplayHost& host = require_display_host("Clf");
  const double h = handle != 0 ? target(host, handle, "Clf") : host.current();
  if (h == 0) return;  // nothing open, nothing to clear
  Figure& f = *host.figure(h);
  f.axes.clear();
  f.current = -1;
  host.changed(h);
}

void Title(const std::string& text) { label("Title", text, &Axes::title); }
void Xlabel(const std::string& text) { label("Xlabel", text, &Axes::xlabel); }
void Ylabel(const std::string& text) { label("Ylabel", text, &Axes::ylabel); }

int Subplot(int m, int n, int p) {
  DisplayHost& host = require_display_host("Subplot");
  if (m < 1 || n < 1 || p < 1 || p > m * n)
    throw std::invalid_argument("Subplot: the position " + std::to_string(p) + " is not in a " + std::to_string(m) +
                                " x " + std::to_string(n) + " grid");
  const double h = current_or_new(host);
  const int index = subplot(*host.figure(h), m, n, p - 1);
  host.changed(h);
  return index + 1;
}

namespace {

// Registered bodies: argument helpers.

double handle_arg(const Args& in, size_t i) { return has_arg(in, i) ? in[i].to_double() : 0; }

CVec wave_arg(const Args& in, size_t i, const std::string& op) { return arg_required(in, i, op).to_complex(); }

// The samples of a numeric argument read in place: a waveform of tens of
// millions of samples is not copied on its way to a display.
IqView wave_view(const Args& in, size_t i, const std::string& op) {
  const Value& v = arg_required(in, i, op);
  if (!v.is_numeric())
    throw std::invalid_argument(op + ": argument " + std::to_string(i + 1) + " must be a numeric waveform, not " +
                                v.kind_name());
  return {v.re().data(), v.kind() == Value::Kind::Complex ? v.im().data() : nullptr, v.re().size()};
}

double rate_arg(const Args& in, size_t i, const std::string& op) { return arg_required(in, i, op).to_double(); }

ToolMode mode_of(const std::string& text, const std::string& op) {
  if (text == "on") return ToolMode::On;
  if (text == "off") return ToolMode::Off;
  if (text == "reset") return ToolMode::Reset;
  if (text == "toggle") return ToolMode::Toggle;
  throw std::invalid_argument(op + ": '" + text + "' is not on, off, reset or toggle");
}

// KV_Zoom / KV_Rotate ([handle,] [mode]).
void tool_call(const Args& in, const std::string& op, void (*tool)(double, ToolMode)) {
  double handle = 0;
  ToolMode mode = ToolMode::Toggle;
  for (size_t i = 0; i < in.size(); ++i) {
    if (!has_arg(in, i)) continue;
    if (in[i].is_text())
      mode = mode_of(in[i].str(), op);
    else
      handle = in[i].to_double();
  }
  tool(handle, mode);
}

int int_arg(const Args& in, size_t i, const std::string& op) {
  const double v = arg_required(in, i, op).to_double();
  if (v != std::floor(v) || std::abs(v) > 1e6)
    throw std::invalid_argument(op + ": argument " + std::to_string(i + 1) + " must be a whole number");
  return int(v);
}

}  // namespace

TARVIO_OP(
    "KV_PlotSpectrum", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      require_display_host("KV_PlotSpectrum");  // before any work on the samples
      return {KV_PlotSpectrum(handle_arg(in, 0), wave_view(in, 1, "KV_PlotSpectrum"), rate_arg(in, 2, "KV_PlotSpectrum"),
                              arg_text(in, 3, ""))};
    },
    "h = KV_PlotSpectrum(parent, wave, sampleRate, title): magnitude spectrum display (desktop only)");

TARVIO_OP(
    "KV_PlotIQTime", 5, 1,
    [](const Args& in, int) -> std::vector<Value> {
      require_display_host("KV_PlotIQTime");  // before any work on the samples
      return {KV_PlotIQTime(handle_arg(in, 0), wave_view(in, 1, "KV_PlotIQTime"), rate_arg(in, 2, "KV_PlotIQTime"),
                            arg_text(in, 3, ""), arg_double(in, 4, 0) != 0)};
    },
    "h = KV_PlotIQTime(parent, wave, sampleRate, title, sameAxes): I(t) Q(t) display, overlaid when sameAxes is "
    "non-zero (desktop only)");

TARVIO_OP(
    "KV_PlotCCDF", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      require_display_host("KV_PlotCCDF");  // before any work on the samples
      return {
          KV_PlotCCDF(handle_arg(in, 0), wave_view(in, 1, "KV_PlotCCDF"), arg_double(in, 2, 1), arg_text(in, 3, ""))};
    },
    "h = KV_PlotCCDF(parent, wave, sampleRate, title): CCDF display (desktop only)");

TARVIO_OP(
    "KV_PlotCCDFGated", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      require_display_host("KV_PlotCCDFGated");  // before any work on the samples
      return {KV_PlotCCDFGated(handle_arg(in, 0), wave_view(in, 1, "KV_PlotCCDFGated"),
                               rate_arg(in, 2, "KV_PlotCCDFGated"), arg_text(in, 3, ""))};
    },
    "h = KV_PlotCCDFGated(parent, wave, sampleRate, title): CCDF display of the bursts alone, the idle gaps left "
    "out (desktop only)");

TARVIO_OP(
    "KV_PlotWaterfall", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      require_display_host("KV_PlotWaterfall");  // before converting the samples
      return {KV_PlotWaterfall(handle_arg(in, 0), wave_arg(in, 1, "KV_PlotWaterfall"),
                               rate_arg(in, 2, "KV_PlotWaterfall"), arg_text(in, 3, ""))};
    },
    "h = KV_PlotWaterfall(parent, wave, sampleRate, title): waterfall display (desktop only)");

TARVIO_OP(
    "KV_PlotEyeDiagram", 7, 1,
    [](const Args& in, int) -> std::vector<Value> {
      require_display_host("KV_PlotEyeDiagram");  // before converting the samples
      return {KV_PlotEyeDiagram(handle_arg(in, 0), wave_arg(in, 1, "KV_PlotEyeDiagram"), arg_double(in, 2, 1),
                                arg_text(in, 3, ""), arg_double(in, 4, 1), arg_double(in, 5, 100),
                                arg_double(in, 6, 0))};
    },
    "h = KV_PlotEyeDiagram(parent, wave, sampleRate, title, samplesPerSymbol, numSymbols, delaySamples): eye "
    "diagram display (desktop only)");

TARVIO_OP(
    "KV_PlotScatterDiagram", 5, 1,
    [](const Args& in, int) -> std::vector<Value> {
      require_display_host("KV_PlotScatterDiagram");  // before converting the samples
      return {KV_PlotScatterDiagram(handle_arg(in, 0), wave_arg(in, 1, "KV_PlotScatterDiagram"), arg_double(in, 2, 1),
                                    arg_text(in, 3, ""), arg_double(in, 4, 0) != 0)};
    },
    "h = KV_PlotScatterDiagram(parent, wave, sampleRate, title, traceOn): scatter diagram display (desktop only)");

TARVIO_OP(
    "KV_Zoom", 2, 0,
    [](const Args& in, int) -> std::vector<Value> {
      require_display_host("KV_Zoom");  // before converting the samples
      tool_call(in, "KV_Zoom", &KV_Zoom);
      return {};
    },
    "KV_Zoom([handle], ['on'|'off'|'reset'|'toggle']): the zoom tool of a display (desktop only)");

TARVIO_OP(
    "KV_Rotate", 2, 0,
    [](const Args& in, int) -> std::vector<Value> {
      require_display_host("KV_Rotate");  // before converting the samples
      tool_call(in, "KV_Rotate", &KV_Rotate);
      return {};
    },
    "KV_Rotate([handle], ['on'|'off'|'reset'|'toggle']): turns a display's axes a quarter (desktop only)");

TARVIO_OP(
    "Clf", 1, 0,
    [](const Args& in, int) -> std::vector<Value> {
      Clf(handle_arg(in, 0));
      return {};
    },
    "Clf([handle]): clears a display (desktop only)");

TARVIO_OP(
    "Title", 1, 0,
    [](const Args& in, int) -> std::vector<Value> {
      Title(arg_required(in, 0, "Title").str());
      return {};
    },
    "Title(text): titles the current axes of the current display (desktop only)");

TARVIO_OP(
    "Xlabel", 1, 0,
    [](const Args& in, int) -> std::vector<Value> {
      Xlabel(arg_required(in, 0, "Xlabel").str());
      return {};
    },
    "Xlabel(text): labels the x axis of the current axes (desktop only)");

TARVIO_OP(
    "Ylabel", 1, 0,
    [](const Args& in, int) -> std::vector<Value> {
      Ylabel(arg_required(in, 0, "Ylabel").str());
      return {};
    },
    "Ylabel(text): labels the y axis of the current axes (desktop only)");

TARVIO_OP(
    "Subplot", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {double(Subplot(int_arg(in, 0, "Subplot"), int_arg(in, 1, "Subplot"), int_arg(in, 2, "Subplot")))};
    },
    "k = Subplot(m, n, p): makes axes p of an m x n grid current on the current display (desktop only)");

}  // namespace tarvio
