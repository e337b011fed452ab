// The subcarrier mask dialog's grid, presets, plot and OK check.
#include "ui/subcarrier_dialog.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "runtime/number_text.h"
#include "runtime/report.h"

namespace tarvio::ui {

namespace {

std::vector<ControlSpec> make_table() {
  std::vector<ControlSpec> t;
  for (int k = 1; k <= SubcarrierDialog::kBoxes; ++k)
    t.push_back({"checkbox" + std::to_string(k), ControlKind::Check, "", "grid", {}});
  t.push_back({"scrollbar", ControlKind::Slider, "", "grid", {}});
  t.push_back({"lblFastEdit", ControlKind::Label, "Fast Edit:", "fastedit", {}});
  t.push_back({"pdFastEditCarriers",
               ControlKind::List,
               "",
               "fastedit",
               {"All on", "Even subcarriers", "Every fourth", "Lower half", "Upper half", "Band edges",
                "Outermost pair", "All off"}});
  t.push_back({"axCarriers", ControlKind::Plot, "", "plot", {}});
  t.push_back({"pbOK", ControlKind::Button, "OK", "buttons", {}});
  t.push_back({"pbCancel", ControlKind::Button, "Cancel", "buttons", {}});
  return t;
}

}  // namespace

SubcarrierDialog::SubcarrierDialog()
    : Dialog("figCarriers", "Subcarrier Configuration", make_table()), states_(preset(1)) {
  for (int k = 1; k <= kBoxes; ++k) on("checkbox" + std::to_string(k), [this, k] { checkbox_Callback(k); });
  on("scrollbar", [this] { redraw_controls(); });
  on("pdFastEditCarriers", [this] {
    states_ = preset(static_cast<int>(at("pdFastEditCarriers").value));
    redraw_controls();
  });
  set_range("scrollbar", 0, kScrollMax);
  set_value("scrollbar", kScrollMax);
  commands_.add("InitializeFigure", [this] { InitializeFigure(); });
  // The check boxes' shared callback, named by the calling box's tag.
  commands_.add("checkbox_Callback", [this](const Args& a) {
    const std::string tag = arg_required(a, 0, "checkbox_Callback").str();
    run_control_callback(*this, tag, Args(a.begin() + 1, a.end()));
    return std::vector<Value>{};
  });
  add_callback_commands(commands_, *this);
}

void SubcarrierDialog::InitializeFigure() {
  for (int k = 1; k <= kBoxes; ++k) set_tooltip("checkbox" + std::to_string(k), "Enables/Disables this subcarrier.");
  set_tooltip("pdFastEditCarriers", "FastEdit:\nSelects a predefined\nsubcarrier configuration.");
}

std::vector<Value> SubcarrierDialog::command(const std::string& name, const Args& args) {
  return commands_.run("dot11a_GUI_SubCarrierMask", name, args);
}

std::vector<double> SubcarrierDialog::preset(int entry) {
  std::vector<double> s(kCount, 0.0);
  auto on = [&](int from, int to, int step) {
    for (int i = from; i <= to; i += step) s[i - 1] = 1;
  };
  auto off = [&](int from, int to, int step) {
    for (int i = from; i <= to; i += step) s[i - 1] = 0;
  };
  switch (entry) {
    case 1:
      on(1, kCount, 1);
      break;
    case 2:
      on(1, kCount, 1);
      off(1, 25, 2);
      off(29, 53, 2);
      break;
    case 3:
      on(2, 26, 4);
      on(28, 52, 4);
      break;
    case 4:
      on(1, 26, 1);
      break;
    case 5:
      on(28, 53, 1);
      break;
    case 6:
      on(1, 13, 1);
      on(41, 53, 1);
      break;
    case 7:
      on(1, 1, 1);
      on(53, 53, 1);
      break;
    case 8:
      break;
    default:
      throw std::out_of_range("fast-edit entry " + std::to_string(entry) + " is not one of 1..8");
  }
  s[kCentre - 1] = 0;  // the centre subcarrier never carries a signal
  return s;
}

void SubcarrierDialog::open(const std::vector<double>& states, Done done) {
  if (states.size() != static_cast<size_t>(kCount))
    throw std::invalid_argument("the subcarrier mask needs 53 values, got " + std::to_string(states.size()));
  states_ = states;
  begin([this, done = std::move(done)](const std::string& answer) {
    if (done) done(answer, states_);
  });
}

int SubcarrierDialog::first_position() const {
  return static_cast<int>(round_half_away(kScrollMax - at("scrollbar").value)) + 1;
}

void SubcarrierDialog::redraw_controls() {
  const int first = first_position();
  for (int k = 1; k <= kBoxes; ++k) {
    const int pos = first + k - 1;
    const std::string tag = "checkbox" + std::to_string(k);
    set_text(tag, "Subcarrier " + Num2Str(pos - kCentre));
    set_enabled(tag, pos != kCentre);
    set_value(tag, pos == kCentre ? 0 : (states_[pos - 1] != 0 ? 1 : 0));
  }
  replot();
}

void SubcarrierDialog::checkbox_Callback(int box) {
  const int pos = first_position() + box - 1;
  states_[pos - 1] = at("checkbox" + std::to_string(box)).value;
  replot();
}

void SubcarrierDialog::replot() {
  PlotState plot;
  for (int n = -32; n <= 31; ++n) {
    plot.x.push_back(n);
    const int pos = n + kCentre;  // subcarrier n sits at position n + 27
    plot.y.push_back(pos >= 1 && pos <= kCount ? states_[pos - 1] : 0.0);
  }
  plot.xmin = -32;
  plot.xmax = 31;
  plot.ymin = 0;
  plot.ymax = 2;
  plot.xlabel = "Subcarrier Number";
  plot.ylabel = "Nominal Gain (linear)";
  plot.title = "Subcarrier Plot";
  set_plot("axCarriers", std::move(plot));
}

void SubcarrierDialog::ok() {
  if (std::all_of(states_.begin(), states_.end(), [](double s) { return s == 0; })) {
    reporter().show({MessageKind::Error, "Invalid configuration",
                     "At least one carrier must be active to produce a signal.", true});
    return;  // the dialog stays open
  }
  finish("OK");
}

}  // namespace tarvio::ui
