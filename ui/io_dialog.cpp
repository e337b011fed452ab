// The I/O connection dialog's controls.
#include "ui/io_dialog.h"

#include "instrument/io_dialog_rules.h"
#include "runtime/number_text.h"

namespace tarvio::ui {

namespace {

// A list of the whole numbers from..to as texts.
std::vector<std::string> numbers(int from, int to) {
  std::vector<std::string> v;
  for (int k = from; k <= to; ++k) v.push_back(std::to_string(k));
  return v;
}

std::vector<ControlSpec> make_table() {
  using K = ControlKind;
  std::vector<std::string> secondary = numbers(-1, 31);
  secondary[0] = "None";
  return {
      {"lblConnection", K::Label, "Connection:", "connection", {}},
      {"pdConnection", K::List, "", "connection", {}},
      {"lblGpibBoard", K::Label, "Board:", "gpib", {}},
      {"pdGpibBoard", K::List, "", "gpib", numbers(0, 15)},
      {"lblGpibPrimary", K::Label, "Primary Address:", "gpib", {}},
      {"pdGpibPrimary", K::List, "", "gpib", numbers(0, 30)},
      {"lblGpibSecondary", K::Label, "Secondary Address:", "gpib", {}},
      {"pdGpibSecondary", K::List, "", "gpib", secondary},
      {"lblSerialPort", K::Label, "Port:", "rs232", {}},
      {"pdSerialPort", K::List, "", "rs232", numbers(1, 9)},
      {"lblBaudRate", K::Label, "Baud Rate:", "rs232", {}},
      {"pdBaudRate", K::List, "", "rs232", baud_rate_list()},
      {"lblHandshake", K::Label, "Handshake:", "rs232", {}},
      {"pdHandshake", K::List, "", "rs232", handshake_list()},
      {"lblAddress", K::Label, "Address:", "tcpip", {}},
      {"txtAddress", K::Edit, "", "tcpip", {}},
      {"pbCheck", K::Button, "Check Hardware", "check", {}},
      {"txtStatus", K::Label, "", "check", {}},
      {"pbOK", K::Button, "OK", "buttons", {}},
      {"pbCancel", K::Button, "Cancel", "buttons", {}},
  };
}

// The controls of each connection kind, by the field they edit.
struct FieldControl {
  const char* field;
  const char* tag;
  const char* label;
};
constexpr FieldControl kFieldControls[] = {
    {"GPIB.board", "pdGpibBoard", "lblGpibBoard"},
    {"GPIB.primary", "pdGpibPrimary", "lblGpibPrimary"},
    {"GPIB.secondary", "pdGpibSecondary", "lblGpibSecondary"},
    {"RS232.port", "pdSerialPort", "lblSerialPort"},
    {"RS232.baudrate", "pdBaudRate", "lblBaudRate"},
    {"RS232.handshake", "pdHandshake", "lblHandshake"},
    {"TCPIP.address", "txtAddress", "lblAddress"},
};

}  // namespace

IoDialog::IoDialog() : Dialog("figIOConfig", kSigGenName, make_table()) {
  Configuration& c = working_;
  on("pdConnection", [this, &c] {
    c.type = list_entry_value(at("pdConnection").entries, static_cast<int>(at("pdConnection").value));
    redraw_controls();
  });
  on("pdGpibBoard", [this, &c] { c.GPIB.board = at("pdGpibBoard").value - 1; });
  on("pdGpibPrimary", [this, &c] { c.GPIB.primary = at("pdGpibPrimary").value - 1; });
  on("pdGpibSecondary", [this, &c] { c.GPIB.secondary = at("pdGpibSecondary").value - 2; });
  on("pdSerialPort", [this, &c] { c.RS232.port = at("pdSerialPort").value; });
  on("pdBaudRate", [this, &c] {
    c.RS232.baudrate = std::stod(list_entry_value(baud_rate_list(), static_cast<int>(at("pdBaudRate").value)));
  });
  on("pdHandshake", [this, &c] {
    const int pos = static_cast<int>(at("pdHandshake").value);
    c.RS232.handshake = list_entry_value(handshake_list(), pos);
    set_tooltip("pdHandshake", handshake_tip(pos));
  });
  on("txtAddress", [this, &c] { c.TCPIP.address = at("txtAddress").text; });
  on("pbCheck", [this] { check_hardware(); });
  commands_.add("InitializeFigure", [this] { InitializeFigure(); });
  add_callback_commands(commands_, *this);
}

void IoDialog::InitializeFigure() {
  set_tooltip("pdGpibPrimary", primary_address_tip());
  set_tooltip("pdBaudRate", baud_rate_tip());
}

std::vector<Value> IoDialog::command(const std::string& name, const Args& args) {
  return commands_.run("KV_SigGen", name, args);
}

void IoDialog::open(const std::optional<Configuration>& start, const std::string& platform, Done done) {
  model_ = instrument_model(platform);
  working_ = prepare_connection(start, model_);
  set_entries("pdConnection", connection_list(model_));
  set_text("txtStatus", "");
  begin([this, done = std::move(done)](const std::string& answer) {
    if (done) done(answer, working_);
  });
}

void IoDialog::redraw_controls() {
  const Configuration& c = working_;
  set_value("pdConnection", list_position(at("pdConnection").entries, c.type));
  set_value("pdGpibBoard", c.GPIB.board + 1);
  set_value("pdGpibPrimary", c.GPIB.primary + 1);
  set_value("pdGpibSecondary", c.GPIB.secondary + 2);
  set_value("pdSerialPort", c.RS232.port);
  set_value("pdBaudRate", list_position(baud_rate_list(), Num2Str(c.RS232.baudrate)));
  const int hs = list_position(handshake_list(), c.RS232.handshake);
  set_value("pdHandshake", hs);
  set_tooltip("pdHandshake", handshake_tip(hs));
  set_text("txtAddress", c.TCPIP.address);
  const std::vector<std::string> shown = visible_controls(c.type);
  for (const FieldControl& f : kFieldControls) {
    bool v = false;
    for (const std::string& s : shown) v = v || s == f.field;
    set_visible(f.tag, v);
    set_visible(f.label, v);
  }
}

void IoDialog::check_hardware() {
  set_pointer("watch");
  set_text("txtStatus", "... Checking ...");
  std::string shown;
  try {
    shown = tarvio::check_hardware(working_);
  } catch (...) {
    set_pointer("arrow");
    throw;
  }
  set_text("txtStatus", shown);
  set_pointer("arrow");
}

}  // namespace tarvio::ui
