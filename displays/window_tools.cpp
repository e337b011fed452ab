// The figure tools that act on the desktop program's own windows (splash
// screen, about box, placing, fonts, window data), read pictures with the
// window toolkit, or open the plain eye, scatter and waterfall displays.
// Each is registered under its name and fails with a clear error where no
// desktop is running.
#include <cmath>
#include <fstream>
#include <map>
#include <stdexcept>

#include "displays/desktop_windows.h"
#include "displays/eye_diagram.h"
#include "displays/figure_tools.h"
#include "displays/scatter_diagram.h"
#include "displays/waterfall.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/number_text.h"
#include "runtime/registry.h"
#include "ui/about.h"
#include "ui/application.h"
#include "ui/commands.h"
#include "ui/window.h"

namespace tarvio {

namespace {

// The name DesktopWindows knows a window by: a display's handle as a
// number, the splash screen, or a model window (by tag, description file or
// control handle). Throws std::invalid_argument for anything else.
std::string window_id(const Value& v) {
  if (v.is_numeric()) return Num2Str(v.to_double());
  if (v.is_text() && v.str() == "figSplash") return v.str();
  return ui::window_named(v).tag();
}

// The data stored with a window by Guidata, by window name.
std::map<std::string, Value>& window_data() {
  static std::map<std::string, Value> data;
  return data;
}

Value plane(size_t rows, size_t cols, std::vector<double> v) { return Value::real(rows, cols, std::move(v)); }

std::vector<Value> picture_result(const Picture& p) {
  return {plane(p.rows, p.cols, p.red), plane(p.rows, p.cols, p.green), plane(p.rows, p.cols, p.blue)};
}

// A JPEG file starts with the start-of-image marker FF D8.
void require_jpeg(const std::string& path, const std::string& op) {
  std::ifstream f(path, std::ios::binary);
  unsigned char head[2] = {0, 0};
  if (f) f.read(reinterpret_cast<char*>(head), 2);
  if (!f || head[0] != 0xFF || head[1] != 0xD8)
    throw std::runtime_error(op + ": " + path + (f ? " is not a JPEG file" : " cannot be read"));
}

std::vector<Value> read_picture(const Args& in, const std::string& op, bool jpeg_only) {
  DesktopWindows& d = require_desktop_windows(op);
  const std::string path = arg_required(in, 0, op).str();
  if (jpeg_only) require_jpeg(path, op);
  return picture_result(d.read_picture(path));
}

size_t count_arg(const Args& in, size_t i, double def, const std::string& op, const char* what) {
  const double v = arg_double(in, i, def);
  if (!(v >= 0) || v != std::floor(v) || v > 1e9)
    throw std::invalid_argument(op + ": " + what + " must be a whole number >= 0, got " + Num2Str(v));
  return size_t(v);
}

}  // namespace

TARVIO_OP(
    "KV_Splash", 0, 1,
    [](const Args&, int) -> std::vector<Value> { return {Value(require_desktop_windows("KV_Splash").splash())}; },
    "h = KV_Splash(): shows the splash screen centred on the screen (desktop only)");

TARVIO_OP(
    "KV_About", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      DesktopWindows& d = require_desktop_windows("KV_About");
      std::string parent;
      try {
        parent = window_id(arg_required(in, 0, "KV_About"));
      } catch (const std::exception&) {
      }
      if (parent.empty() || !d.exists(parent)) throw std::invalid_argument("Input argument must be a handle to parent");
      ui::AboutWindow& about = ui::program_application().about();
      if (has_arg(in, 1))
        about.show_about(record_from_value<AppInfo>(in[1], "appInfo"));
      else
        about.show_about();
      d.raise(about.tag());
      return {Value(about.tag())};
    },
    "h = KV_About(parent[, appInfo]): the about box over the parent window (desktop only)");

TARVIO_OP(
    "Openfig", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      DesktopWindows& d = require_desktop_windows("Openfig");
      // Every window is built once at start; opening one again hands back
      // the same window, brought to the front when it is shown.
      ui::Window& w = ui::window_named(arg_required(in, 0, "Openfig"));
      if (w.visible()) d.raise(w.tag());
      return {Value(w.tag())};
    },
    "fig = Openfig(name[, 'reuse']): the window built from a window description, to the front when shown "
    "(desktop only)");

TARVIO_OP(
    "Guidata", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      require_desktop_windows("Guidata");
      const Value& h = arg_required(in, 0, "Guidata");
      const std::string id = h.is_text() ? ui::window_named(h).tag() : window_id(h);
      if (in.size() > 1) window_data()[id] = in[1];
      auto it = window_data().find(id);
      if (it != window_data().end()) return {it->second};
      return {ui::handles_record(ui::window_named(Value(id)))};
    },
    "data = Guidata(fig[, data]): the data stored with a window (its handles until data is stored) (desktop "
    "only)");

TARVIO_OP(
    "Guihandles", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      require_desktop_windows("Guihandles");
      return {ui::handles_record(ui::window_named(arg_required(in, 0, "Guihandles")))};
    },
    "handles = Guihandles(fig): a record with one field per control of the window (desktop only)");

TARVIO_OP(
    "Movegui", 2, 0,
    [](const Args& in, int) -> std::vector<Value> {
      DesktopWindows& d = require_desktop_windows("Movegui");
      const std::string id = window_id(arg_required(in, 0, "Movegui"));
      if (!d.exists(id)) throw std::invalid_argument("Movegui: there is no window " + id);
      if (has_arg(in, 1) && in[1].is_numeric()) {
        const std::vector<double> at = in[1].to_reals();
        if (at.size() != 2 || !std::isfinite(at[0]) || !std::isfinite(at[1]))
          throw std::invalid_argument("Movegui: a position is [x y] in pixels");
        d.move(id, "", int(std::lround(at[0])), int(std::lround(at[1])));
        return {};
      }
      static const char* kPlaces[] = {"center",    "north",     "south",     "east",      "west",
                                      "northeast", "northwest", "southeast", "southwest", "onscreen"};
      const std::string where = arg_text(in, 1, "onscreen");
      for (const char* p : kPlaces)
        if (where == p) {
          d.move(id, where, 0, 0);
          return {};
        }
      throw std::invalid_argument("Movegui: '" + where +
                                  "' is not center, north, south, east, west, northeast, northwest, southeast, "
                                  "southwest, onscreen or [x y]");
    },
    "Movegui(fig[, position]): places a window on its screen ('center', 'north', ..., 'onscreen', [x y]) (desktop "
    "only)");

TARVIO_OP(
    "ResizeAllFonts", 2, 0,
    [](const Args& in, int) -> std::vector<Value> {
      DesktopWindows& d = require_desktop_windows("ResizeAllFonts");
      const std::string id = window_id(arg_required(in, 0, "ResizeAllFonts"));
      const double factor = arg_required(in, 1, "ResizeAllFonts").to_double();
      if (!(factor > 0.1 && factor < 10))
        throw std::invalid_argument("ResizeAllFonts: the factor must lie between 0.1 and 10, got " + Num2Str(factor));
      if (!d.exists(id)) throw std::invalid_argument("ResizeAllFonts: there is no window " + id);
      d.scale_fonts(id, factor);
      return {};
    },
    "ResizeAllFonts(fig, factor): multiplies the font size of a window's controls (desktop only)");

TARVIO_OP_VARARGS(
    "Imread", 1, 3, [](const Args& in, int) { return read_picture(in, "Imread", false); },
    "[R, G, B] = Imread(file): a picture file (JPEG, PNG, BMP, ...) as 8-bit colour planes (desktop only)");
TARVIO_OP(
    "Readjpg", 1, 3, [](const Args& in, int) { return read_picture(in, "Readjpg", true); },
    "[R, G, B] = Readjpg(file): a JPEG file as 8-bit colour planes (desktop only)");
TARVIO_OP_VARARGS(
    "Rjpgc", 1, 3, [](const Args& in, int) { return read_picture(in, "Rjpgc", true); },
    "[R, G, B] = Rjpgc(file): a JPEG file as 8-bit colour planes, as the splash screen reads it (desktop only)");

TARVIO_OP_VARARGS(
    "Eyediagram", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      DisplayHost& host = require_display_host("Eyediagram");
      const CVec x = arg_required(in, 0, "Eyediagram").to_complex();
      // A trace of n samples spans two symbol periods.
      const size_t n = count_arg(in, 1, 2, "Eyediagram", "the trace length");
      const size_t offset = count_arg(in, 2, 0, "Eyediagram", "the offset");
      if (n < 2) throw std::invalid_argument("Eyediagram: a trace needs at least 2 samples");
      const double sps = double(n) / 2;
      const size_t traces = x.size() > offset ? size_t(double(x.size() - offset) / sps) : 0;
      return {host.open(eye_diagram_figure(x, "", sps, traces, offset), 0)};
    },
    "h = Eyediagram(x, n[, offset]): eye diagram of the samples, traces of n samples from offset (desktop only)");

TARVIO_OP_VARARGS(
    "Scatterplot", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      DisplayHost& host = require_display_host("Scatterplot");
      const CVec x = arg_required(in, 0, "Scatterplot").to_complex();
      const size_t step = std::max<size_t>(1, count_arg(in, 1, 1, "Scatterplot", "the decimation"));
      const size_t offset = count_arg(in, 2, 0, "Scatterplot", "the offset");
      CVec points;
      for (size_t k = offset; k < x.size(); k += step) points.push_back(x[k]);
      return {host.open(scatter_figure(points, "", false), 0)};
    },
    "h = Scatterplot(x[, n, offset]): every n-th sample from offset in the I/Q plane (desktop only)");

TARVIO_OP_VARARGS(
    "Waterfall", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      DisplayHost& host = require_display_host("Waterfall");
      const CVec x = arg_required(in, 0, "Waterfall").to_complex();
      const double rate = arg_double(in, 1, 1);
      if (!(rate > 0) || !std::isfinite(rate))
        throw std::invalid_argument("Waterfall: the sample rate must be a positive number, got " + Num2Str(rate));
      return {host.open(waterfall_figure(x, rate, ""), 0)};
    },
    "h = Waterfall(x[, sampleRate]): spectra of successive blocks of the samples (desktop only)");

}  // namespace tarvio
