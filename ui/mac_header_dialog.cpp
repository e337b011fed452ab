// The MAC header dialog's rows, entry rule and tool tips.
#include "ui/mac_header_dialog.h"

#include <stdexcept>

#include "mac/mac_bits.h"
#include "mac/mac_header.h"
#include "records/state.h"

namespace tarvio::ui {

namespace {

struct Row {
  const char* field;
  const char* caption;
  const char* name;  // as the tool tips name the field
  const char* check_tip;
};

constexpr Row kRows[] = {
    {"FrameCntrl", "Frame Control", "Frame Control Field.", "Frame Control Field.\nAlways active"},
    {"DurationID", "Duration/ID", "Duration/ID Field.", "Duration/ID Field.\nAlways active."},
    {"Address1", "Address 1", "Address 1 Field.", "Includes/excludes the\nAddress 1 Field."},
    {"Address2", "Address 2", "Address 2 Field.", "Includes/excludes the\nAddress 2 Field."},
    {"Address3", "Address 3", "Address 3 Field.", "Includes/excludes the\nAddress 3 Field."},
    {"SeqCntrl", "Sequence Control", "Sequence Control Field.", "Includes/excludes the\nSequence Control Field."},
    {"Address4", "Address 4", "Address 4 Field.", "Includes/excludes the\nAddress 4 Field."},
};

std::vector<ControlSpec> make_table() {
  std::vector<ControlSpec> t;
  for (const Row& r : kRows) {
    t.push_back({std::string("chk") + r.field, ControlKind::Check, r.caption, "fields", {}});
    t.push_back({std::string("txt") + r.field, ControlKind::Edit, "", "fields", {}});
  }
  t.push_back({"pbOK", ControlKind::Button, "OK", "buttons", {}});
  t.push_back({"pbCancel", ControlKind::Button, "Cancel", "buttons", {}});
  return t;
}

MacHeader& working() { return state().MAChdr; }

}  // namespace

const std::vector<std::string>& MacHeaderDialog::fields() {
  static const std::vector<std::string> f = [] {
    std::vector<std::string> v;
    for (const Row& r : kRows) v.push_back(r.field);
    return v;
  }();
  return f;
}

MacHeaderDialog::MacHeaderDialog() : Dialog("figMACconfig", "MAC Header Configuration", make_table()) {
  for (const Row& r : kRows) {
    for (const char* kind : {"chk", "txt"}) {
      const std::string tag = std::string(kind) + r.field;
      on(tag, [this, tag] { Field_Callback(tag); });
    }
  }
  // The frame control and duration fields are in every MAC frame.
  set_enabled("chkFrameCntrl", false);
  set_enabled("chkDurationID", false);
  commands_.add("InitializeFigure", [this] { InitializeFigure(); });
  commands_.add("Field_Callback", [this](const Args& a) {
    const std::string tag = arg_required(a, 0, "Field_Callback").str();
    run_control_callback(*this, tag, Args(a.begin() + 1, a.end()));
    return std::vector<Value>{};
  });
  add_callback_commands(commands_, *this);
}

void MacHeaderDialog::InitializeFigure() {
  for (const Row& r : kRows) {
    const MacField* f = mac_field(working(), r.field);
    const std::string bytes = f && f->Size == 6 ? "6" : "2";
    set_tooltip(std::string("txt") + r.field,
                std::string(r.name) + "\nLength: " + bytes + " bytes\nHexadecimal representation.");
    set_tooltip(std::string("chk") + r.field, r.check_tip);
  }
}

std::vector<Value> MacHeaderDialog::command(const std::string& name, const Args& args) {
  return commands_.run("dot11_MACconfig", name, args);
}

void MacHeaderDialog::open(const MacHeader& start, Done done) {
  working() = start;
  begin([done = std::move(done)](const std::string& answer) {
    if (done) done(answer, working());
  });
}

void MacHeaderDialog::redraw_controls() {
  for (const std::string& f : fields()) redraw_row(f);
}

void MacHeaderDialog::redraw_row(const std::string& field) {
  const MacField* f = mac_field(working(), field);
  set_value("chk" + field, f->Active != 0 ? 1 : 0);
  set_enabled("txt" + field, f->Active != 0);
  set_text("txt" + field, HexString(f->Contents, f->Size));
}

void MacHeaderDialog::Field_Callback(const std::string& tag) {
  const std::string kind = tag.substr(0, 3);
  const std::string field = tag.substr(3);
  MacField* f = mac_field(working(), field);
  if (!f) throw std::invalid_argument("the MAC header has no field " + field);
  if (kind == "chk")
    f->Active = at(tag).value;
  else
    enter_hex_field(*f, at(tag).text);  // a text that is no hexadecimal number keeps the value
  redraw_row(field);
  RecalcBitStream();
}

}  // namespace tarvio::ui
