// The fading dialog's path rows and their entry rules.
#include "ui/fading_dialog.h"

#include <algorithm>
#include <stdexcept>

#include "runtime/number_text.h"
#include "ui/entry_text.h"

namespace tarvio::ui {

namespace {

std::string path_tag(const char* kind, int k) { return std::string(kind) + std::to_string(k); }

std::vector<ControlSpec> make_table() {
  std::vector<ControlSpec> t;
  t.push_back({"lblPath", ControlKind::Label, "Path", "header", {}});
  t.push_back({"lblDelay", ControlKind::Label, "Delay (usec)", "header", {}});
  t.push_back({"lblAtten", ControlKind::Label, "Attenuation (dB)", "header", {}});
  t.push_back({"lblPhase", ControlKind::Label, "Phase (deg)", "header", {}});
  for (int k = 1; k <= FadingDialog::kPaths; ++k) {
    t.push_back({path_tag("chkState", k), ControlKind::Check, "Path " + std::to_string(k), "paths", {}});
    t.push_back({path_tag("txtDelay", k), ControlKind::Edit, "", "paths", {}});
    t.push_back({path_tag("txtAtten", k), ControlKind::Edit, "", "paths", {}});
    t.push_back({path_tag("txtPhase", k), ControlKind::Edit, "", "paths", {}});
  }
  t.push_back({"pbOK", ControlKind::Button, "OK", "buttons", {}});
  t.push_back({"pbCancel", ControlKind::Button, "Cancel", "buttons", {}});
  return t;
}

// Not a number: 0; otherwise clamped.
double path_entry(const std::string& text, double lo, double hi) {
  return std::clamp(parse_entry_number(text).value_or(0.0), lo, hi);
}

}  // namespace

FadingDialog::FadingDialog() : Dialog("figPhading", "Multipath Fading Setup", make_table()) {
  for (int k = 1; k <= kPaths; ++k) {
    const size_t i = static_cast<size_t>(k - 1);
    on(path_tag("chkState", k), [this, k, i] {
      working_.state[i] = at(path_tag("chkState", k)).value;
      redraw_path(k);
    });
    on(path_tag("txtDelay", k), [this, k, i] {
      working_.delay[i] = path_entry(at(path_tag("txtDelay", k)).text, 0, 10);
      redraw_path(k);
    });
    on(path_tag("txtAtten", k), [this, k, i] {
      working_.atten[i] = path_entry(at(path_tag("txtAtten", k)).text, -60, 0);
      redraw_path(k);
    });
    on(path_tag("txtPhase", k), [this, k, i] {
      working_.phase[i] = path_entry(at(path_tag("txtPhase", k)).text, -180, 180);
      redraw_path(k);
    });
  }
  commands_.add("InitializeFigure", [this] { InitializeFigure(); });
  add_callback_commands(commands_, *this);
}

void FadingDialog::InitializeFigure() {
  for (int k = 1; k <= kPaths; ++k) {
    set_tooltip(path_tag("chkState", k), "Switches reflected path " + std::to_string(k) + " on or off.");
    set_tooltip(path_tag("txtDelay", k), "Delay of the path in usec.\nValid Range: 0 to 10");
    set_tooltip(path_tag("txtAtten", k), "Attenuation of the path in dB.\nValid Range: -60 to 0");
    set_tooltip(path_tag("txtPhase", k), "Phase of the path in degrees.\nValid Range: -180 to 180");
  }
}

std::vector<Value> FadingDialog::command(const std::string& name, const Args& args) {
  return commands_.run("phading_GUI", name, args);
}

void FadingDialog::open(const FadingPaths& start, Done done) {
  for (const auto* row : {&start.delay, &start.phase, &start.atten, &start.state})
    if (row->size() != static_cast<size_t>(kPaths))
      throw std::invalid_argument("the fading record needs 12 values per row, got " + std::to_string(row->size()));
  working_ = start;
  begin([this, done = std::move(done)](const std::string& answer) {
    if (done) done(answer, working_);
  });
}

void FadingDialog::redraw_controls() {
  for (int k = 1; k <= kPaths; ++k) redraw_path(k);
}

void FadingDialog::redraw_path(int k) {
  const size_t i = static_cast<size_t>(k - 1);
  set_value(path_tag("chkState", k), working_.state[i] != 0 ? 1 : 0);
  set_text(path_tag("txtDelay", k), fixed_text(working_.delay[i], 4));
  set_text(path_tag("txtAtten", k), fixed_text(working_.atten[i], 2));
  set_text(path_tag("txtPhase", k), fixed_text(working_.phase[i], 2));
}

}  // namespace tarvio::ui
