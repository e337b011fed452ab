// The clock-switching dialog's three hexadecimal entries.
#include "ui/clock_switch_dialog.h"

#include "ui/entry_text.h"

namespace tarvio::ui {

namespace {

std::vector<ControlSpec> make_table() {
  return {
      {"lblTail", ControlKind::Label, "Tail (hex):", "fields", {}},
      {"txtTail", ControlKind::Edit, "", "fields", {}},
      {"lblHead", ControlKind::Label, "Head (hex):", "fields", {}},
      {"txtHead", ControlKind::Edit, "", "fields", {}},
      {"lblReSync", ControlKind::Label, "ReSync (hex):", "fields", {}},
      {"txtReSync", ControlKind::Edit, "", "fields", {}},
      {"pbOK", ControlKind::Button, "OK", "buttons", {}},
      {"pbCancel", ControlKind::Button, "Cancel", "buttons", {}},
  };
}

}  // namespace

ClockSwitchDialog::ClockSwitchDialog() : Dialog("figClkSwitch", "Clock Switching Setup", make_table()) {
  on("txtTail", [this] { entry("txtTail", 7, 1); });
  on("txtHead", [this] { entry("txtHead", 7, 1); });
  on("txtReSync", [this] { entry("txtReSync", 511, 3); });
  commands_.add("InitializeFigure", [this] { InitializeFigure(); });
  add_callback_commands(commands_, *this);
}

void ClockSwitchDialog::InitializeFigure() {
  set_tooltip("txtTail", "Hexadecimal entry for 3 Tail bit values.\nDefualt is 7, \"111\".");
  set_tooltip("txtHead", "Hexadecimal entry for 3 Head bit values.\nDefualt is 0, \"000\".");
  set_tooltip("txtReSync", "Hexadecimal entry for 9 ReSync bit values.\nDefualt is 11D, \"100011101\".");
}

std::vector<Value> ClockSwitchDialog::command(const std::string& name, const Args& args) {
  return commands_.run("clkswitch_gui", name, args);
}

void ClockSwitchDialog::open(double clkStruct, Done done) {
  entries_ = clkStruct2fields(clkStruct);  // throws for a number that is no 15-bit value
  begin([this, clkStruct, done = std::move(done)](const std::string& answer) {
    // A cancelled dialog hands back the number it was given.
    if (done) done(answer, answer == "OK" ? packed() : clkStruct);
  });
}

double ClockSwitchDialog::packed() const {
  return fields2clkStruct({at("txtTail").text, at("txtHead").text, at("txtReSync").text});
}

void ClockSwitchDialog::redraw_controls() {
  set_text("txtTail", entries_.txtTail);
  set_text("txtHead", entries_.txtHead);
  set_text("txtReSync", entries_.txtReSync);
}

void ClockSwitchDialog::entry(const std::string& tag, double limit, int digits) {
  // A text that is no hexadecimal number keeps the field's value: the
  // field's text before the edit is the last accepted one.
  const std::string text = at(tag).text;
  std::string& last = tag == "txtTail" ? entries_.txtTail : tag == "txtHead" ? entries_.txtHead : entries_.txtReSync;
  if (parse_hex(text)) last = clk_entry_text(read_clk_entry(text, limit), digits);
  set_text(tag, last);
}

}  // namespace tarvio::ui
