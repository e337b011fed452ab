// The window commands of the model registered as operations: the main
// window's dispatcher, the frame's switchboard, the settings panel, each
// dialog in its command form and its modal form, the redraws and the window
// set-up. They act on the program-wide model (ui/application.h). A window
// is named by its tag ("figMain", "figMACconfig", ...); its "handles" are a
// record with one field per control holding "WINDOW.TAG".
#include <stdexcept>

#include "records/record_value.h"
#include "records/state.h"
#include "runtime/registry.h"
#include "ui/advanced_settings_dialog.h"
#include "ui/application.h"
#include "ui/clock_switch_dialog.h"
#include "ui/fading_dialog.h"
#include "ui/frame.h"
#include "ui/io_dialog.h"
#include "ui/mac_header_dialog.h"
#include "ui/main_window.h"
#include "ui/siggen_panel.h"
#include "ui/subcarrier_dialog.h"

namespace tarvio::ui {

namespace {

Args rest(const Args& in) { return Args(in.begin() + 1, in.end()); }

// A text first names a command, unless it is a window's handle (the modal
// form of a dialog takes its parent window first).
bool is_command(const Args& in) {
  return !in.empty() && in[0].is_text() && !program_application().find_window(in[0].str());
}

// A command called by name: an error inside is shown and the caller goes on.
std::vector<Value> guarded(const std::function<std::vector<Value>()>& fn) {
  std::vector<Value> out;
  run_guarded([&] { out = fn(); });
  // Results a command does not produce (or could not, after an error) are
  // empty; the dispatchers declare at most two.
  while (out.size() < 2) out.emplace_back();
  return out;
}

Value handles(Window& w) {
  Record r;
  r.set("figure", Value(w.tag()));
  for (const ControlSpec& s : w.table()) r.set(s.tag, Value(w.tag() + "." + s.tag));
  return Value(std::move(r));
}

// A window by its tag, or by the name of the window description it is
// built from.
Window& window_named(const Value& v) {
  static const std::pair<const char*, const char*> kFiles[] = {
      {"dot11g_GUI_c.fig", "figMain"},
      {"dot11_MACconfig.fig", "figMACconfig"},
      {"KorConfigAdv_c.fig", "figAdvSettings"},
      {"clkSwitch_gui.fig", "figClkSwitch"},
      {"dot11a_GUI_SubCarrierMask.fig", "figCarriers"},
      {"phading_GUI.fig", "figPhading"},
  };
  std::string tag = v.str();
  for (const auto& [file, t] : kFiles)
    if (tag == file) tag = t;
  // A handle of a control ("figMain.pdDataRate") names its window.
  if (const size_t dot = tag.find('.'); dot != std::string::npos && tag.compare(dot, 4, ".fig") != 0)
    tag = tag.substr(0, dot);
  Window* w = program_application().find_window(tag);
  if (!w) throw std::invalid_argument("there is no window '" + v.str() + "'");
  return *w;
}

template <class T>
T record_arg(const Args& in, size_t i, const char* what) {
  return record_from_value<T>(arg_required(in, i, what), what);
}

// The dialog's modal form: open on the start value, let the host answer,
// return the answer and the edited record.
template <class D, class T, class Open>
std::vector<Value> modal(D& dialog, Open open) {
  T result{};
  open([&result](const std::string&, const T& edited) { result = edited; });
  const std::string answer = run_modal(dialog, program_application().host().waiter.get());
  return {Value(answer), to_value(result)};
}

}  // namespace

// ---- main window ----------------------------------------------------------

static std::vector<Value> main_window_command(const Args& in, int) {
  Application& app = program_application();
  if (in.empty()) {
    app.start_window();
    return {};
  }
  if (!in[0].is_text()) throw std::invalid_argument("dot11g_GUI_c: the first argument must be a command name");
  return guarded([&] { return app.main().command(in[0].str(), rest(in)); });
}

TARVIO_OP_VARARGS("Dot11g_GUI_c", 10, 1, main_window_command,
                  "Dot11g_GUI_c(): the window start; Dot11g_GUI_c(command, ...): a local operation of the main "
                  "window (redraw, Calculate, TAG_Callback [value], ...)");
// The window command under the name appInfo.ApplicationFunction gives it.
TARVIO_OP_VARARGS("dot11g_GUI_c", 10, 1, main_window_command,
                  "dot11g_GUI_c(...): the main window command, as Dot11g_GUI_c");

TARVIO_OP(
    "Dot11g_c", 0, 0,
    [](const Args&, int) -> std::vector<Value> {
      program_application().start_window();
      return {};
    },
    "Dot11g_c(): the interactive start: builds the records and the window set and shows the main window");

// A main-window operation without arguments (the window's handles may be
// passed and are not needed).
template <void (MainWindow::*Method)()>
std::vector<Value> main_operation(const Args&, int) {
  (program_application().main().*Method)();
  return {};
}

TARVIO_OP("RedrawFormatParameters", 1, 0, main_operation<&MainWindow::redrawFormatParameters>,
          "RedrawFormatParameters(handles): the format-dependent controls of the main window");
TARVIO_OP("RedrawGenerationParameters", 1, 0, main_operation<&MainWindow::redrawGenerationParameters>,
          "RedrawGenerationParameters(handles): oversampling, filter and OFDM generation controls");
TARVIO_OP("RedrawPaylodSetup", 1, 0, main_operation<&MainWindow::redrawPaylodSetup>,
          "RedrawPaylodSetup(handles): the payload group and the lengths");
TARVIO_OP("RedrawProjectedLength", 1, 0, main_operation<&MainWindow::redrawProjectedLength>,
          "RedrawProjectedLength(handles): the projected number of samples");
TARVIO_OP("DotA_redrawGenerationParameters", 1, 0, main_operation<&MainWindow::DotA_redrawGenerationParameters>,
          "DotA_redrawGenerationParameters(handles): the OFDM generation controls");
TARVIO_OP("DotB_redrawGenerationParameters", 1, 0, main_operation<&MainWindow::DotB_redrawGenerationParameters>,
          "DotB_redrawGenerationParameters(handles): the DSSS generation and filter controls");
TARVIO_OP("Redraw_dot11aDataRate", 1, 0, main_operation<&MainWindow::Redraw_dot11aDataRate>,
          "Redraw_dot11aDataRate(handles): the OFDM rate from modulation and code rate");
TARVIO_OP("InitializeFigure", 1, 0, main_operation<&MainWindow::InitializeFigure>,
          "InitializeFigure(handles): the main window's tool tips, channel list and settings panel");

// ---- frame ------------------------------------------------------------------

TARVIO_OP_VARARGS(
    "RfCommonUI", 10, 1,
    [](const Args& in, int) -> std::vector<Value> {
      if (!is_command(in)) throw std::invalid_argument("RfCommonUI: the first argument must be a command name");
      return guarded([&] { return program_application().frame().command(in[0].str(), rest(in)); });
    },
    "RfCommonUI(command, ...): a command of the application frame (pbCalculate_Callback, checkWaveformReady "
    "action, menuFileNew_Callback, ...)");

TARVIO_OP(
    "InitializeFigures", 0, 1,
    [](const Args&, int) -> std::vector<Value> {
      Application& app = program_application();
      app.initialize_figures();
      return {Value(app.main().tag())};
    },
    "fig = InitializeFigures(): the window set-up (menu bar, frame, dialogs); returns the main window");

TARVIO_OP(
    "KV_AddMenu", 1, 1,
    [](const Args&, int) -> std::vector<Value> {
      program_application().frame().add_menu();
      Record r;
      for (const char* m : {"File", "Plot", "Config", "Special", "Help"}) r.set(m, Value(std::string("menu") + m));
      return {Value(std::move(r))};
    },
    "menuHeaders = KV_AddMenu(fig): builds the main window's menu bar; the tags of its five menus");

TARVIO_OP(
    "LoadFigure", 2, 2,
    [](const Args& in, int) -> std::vector<Value> {
      Window& w = window_named(arg_required(in, 0, "LoadFigure"));
      if (has_arg(in, 1)) w.set_parent(window_named(in[1]).tag());
      return {Value(w.tag()), handles(w)};
    },
    "[fig, handles] = LoadFigure(name[, parent]): the window built from a window description (loaded once)");

TARVIO_OP(
    "PositionChildWindow", 2, 0,
    [](const Args& in, int) -> std::vector<Value> {
      Window& child = window_named(arg_required(in, 0, "PositionChildWindow"));
      child.set_parent(window_named(arg_required(in, 1, "PositionChildWindow")).tag());
      return {};
    },
    "PositionChildWindow(child, parent): places the child window over its parent");

TARVIO_OP(
    "GetTagIndex", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      Window& w = window_named(arg_required(in, 0, "GetTagIndex"));
      const std::string tag = arg_required(in, 1, "GetTagIndex").str();
      const auto& t = w.table();
      for (size_t i = 0; i < t.size(); ++i)
        if (t[i].tag == tag) return {Value(double(i + 1))};
      return {Value(0.0)};
    },
    "index = GetTagIndex(fig, tag): 1-based place of the control in the window's control table, 0 when absent");

// ---- settings panel and dialogs -------------------------------------------

TARVIO_OP_VARARGS(
    "KORconfig_c", 10, 1,
    [](const Args& in, int) -> std::vector<Value> {
      if (!is_command(in)) throw std::invalid_argument("KORconfig_c: the first argument must be a command name");
      return guarded([&] { return program_application().siggen().command(in[0].str(), rest(in)); });
    },
    "KORconfig_c(command, ...): the signal generator settings panel (InitializeFigure, redrawSigGenSettings, "
    "TAG_Callback [value])");

TARVIO_OP_VARARGS(
    "KorConfigAdv_c", 10, 2,
    [](const Args& in, int) -> std::vector<Value> {
      AdvancedSettingsDialog& d = program_application().advanced();
      if (is_command(in)) return guarded([&] { return d.command(in[0].str(), rest(in)); });
      std::optional<SigGenSettings> start;
      if (has_arg(in, 0)) start = record_arg<SigGenSettings>(in, 0, "SigGenSettings");
      return modal<AdvancedSettingsDialog, SigGenSettings>(d, [&](auto done) { d.open(start, done); });
    },
    "[answer, newSettings] = KorConfigAdv_c([settings]): the advanced signal generator settings dialog");

TARVIO_OP_VARARGS(
    "KV_SigGen", 10, 2,
    [](const Args& in, int) -> std::vector<Value> {
      IoDialog& d = program_application().io();
      if (is_command(in)) return guarded([&] { return d.command(in[0].str(), rest(in)); });
      std::optional<Configuration> start;
      if (has_arg(in, 1)) start = record_arg<Configuration>(in, 1, "configuration");
      const std::string platform = arg_text(in, 2, "");
      return modal<IoDialog, Configuration>(d, [&](auto done) { d.open(start, platform, done); });
    },
    "[answer, configuration] = KV_SigGen(parent, configuration, platform): the I/O connection dialog");

TARVIO_OP_VARARGS(
    "Dot11_MACconfig", 10, 2,
    [](const Args& in, int) -> std::vector<Value> {
      MacHeaderDialog& d = program_application().mac_header();
      if (is_command(in)) return guarded([&] { return d.command(in[0].str(), rest(in)); });
      // With the window and a header the dialog starts from the header,
      // otherwise from the default header.
      const MacHeader start = in.size() == 2 && has_arg(in, 1) ? record_arg<MacHeader>(in, 1, "header") : MacHeader{};
      return modal<MacHeaderDialog, MacHeader>(d, [&](auto done) { d.open(start, done); });
    },
    "[answer, retMAChdr] = Dot11_MACconfig(fig, header): the MAC header dialog");

TARVIO_OP_VARARGS(
    "Dot11a_GUI_SubCarrierMask", 10, 2,
    [](const Args& in, int) -> std::vector<Value> {
      SubcarrierDialog& d = program_application().subcarriers();
      if (is_command(in)) return guarded([&] { return d.command(in[0].str(), rest(in)); });
      const std::vector<double> start = has_arg(in, 1) ? in[1].to_reals() : state().parameters.SubCarriers;
      std::vector<double> result;
      d.open(start, [&result](const std::string&, const std::vector<double>& s) { result = s; });
      const std::string answer = run_modal(d, program_application().host().waiter.get());
      return {Value(answer), Value::row(result)};
    },
    "[answer, states] = Dot11a_GUI_SubCarrierMask(fig, states): the subcarrier mask dialog");

TARVIO_OP_VARARGS(
    "Phading_GUI", 10, 2,
    [](const Args& in, int) -> std::vector<Value> {
      FadingDialog& d = program_application().fading();
      if (is_command(in)) return guarded([&] { return d.command(in[0].str(), rest(in)); });
      const FadingPaths start = has_arg(in, 1) ? record_arg<FadingPaths>(in, 1, "Fading") : FadingPaths{};
      return modal<FadingDialog, FadingPaths>(d, [&](auto done) { d.open(start, done); });
    },
    "[answer, Fading] = Phading_GUI(fig, Fading): the multipath fading dialog");

TARVIO_OP_VARARGS(
    "Clkswitch_gui", 10, 2,
    [](const Args& in, int) -> std::vector<Value> {
      ClockSwitchDialog& d = program_application().clock_switch();
      if (is_command(in)) return guarded([&] { return d.command(in[0].str(), rest(in)); });
      const double start = has_arg(in, 0) ? in[0].to_double() : state().parameters.clkStruct;
      double result = start;
      d.open(start, [&result](const std::string&, double c) { result = c; });
      const std::string answer = run_modal(d, program_application().host().waiter.get());
      return {Value(answer), Value(result)};
    },
    "[answer, retClkStruct] = Clkswitch_gui(clkStruct): the clock-switching dialog");

}  // namespace tarvio::ui
