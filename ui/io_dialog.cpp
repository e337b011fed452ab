// The I/O connection dialog's controls.
#include "ui/io_dialog.h"

#include "instrument/io_dialog_rules.h"
#include <cmath>
#include <cstdlib>

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
      {"lblSdrArgs", K::Label, "Device Arguments:", "sdr", {}},
      {"txtSdrArgs", K::Edit, "", "sdr", {}},
      {"lblSdrFrequency", K::Label, "Frequency (Hz):", "sdr", {}},
      {"txtSdrFrequency", K::Edit, "", "sdr", {}},
      {"lblSdrGain", K::Label, "Gain (dB):", "sdr", {}},
      {"txtSdrGain", K::Edit, "", "sdr", {}},
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
    const auto& entries = at("pdConnection").entries;
    const int pos = static_cast<int>(at("pdConnection").value);
    // The radio is no instrument connection: the record's type stays as it was.
    sdr_.selected = pos >= 1 && pos <= static_cast<int>(entries.size()) && entries[size_t(pos) - 1] == kSdrConnectionEntry;
    if (!sdr_.selected) c.type = list_entry_value(entries, pos);
    redraw_controls();
  });
  on("txtSdrArgs", [this] { sdr_.args = at("txtSdrArgs").text; });
  on("txtSdrFrequency", [this] {
    number_entry("txtSdrFrequency", sdr_.frequency, true, "Enter the frequency in Hz, a number above 0.");
  });
  on("txtSdrGain", [this] { number_entry("txtSdrGain", sdr_.gain, false, "Enter the gain in dB, a number."); });
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
  std::vector<std::string> kinds = connection_list(model_);
  if (sdr_offered()) {
    kinds.push_back(kSdrConnectionEntry);
  } else {
    sdr_.selected = false;
  }
  set_entries("pdConnection", kinds);
  set_text("txtStatus", "");
  begin([this, done = std::move(done)](const std::string& answer) {
    if (done) done(answer, working_);
  });
}

void IoDialog::redraw_controls() {
  const Configuration& c = working_;
  const auto& kinds = at("pdConnection").entries;
  set_value("pdConnection", sdr_.selected ? static_cast<int>(kinds.size()) : list_position(kinds, c.type));
  set_text("txtSdrArgs", sdr_.args);
  set_text("txtSdrFrequency", Num2Str(sdr_.frequency));
  set_text("txtSdrGain", Num2Str(sdr_.gain));
  for (const char* t : {"lblSdrArgs", "txtSdrArgs", "lblSdrFrequency", "txtSdrFrequency", "lblSdrGain", "txtSdrGain"})
    set_visible(t, sdr_.selected);
  set_value("pdGpibBoard", c.GPIB.board + 1);
  set_value("pdGpibPrimary", c.GPIB.primary + 1);
  set_value("pdGpibSecondary", c.GPIB.secondary + 2);
  set_value("pdSerialPort", c.RS232.port);
  set_value("pdBaudRate", list_position(baud_rate_list(), Num2Str(c.RS232.baudrate)));
  const int hs = list_position(handshake_list(), c.RS232.handshake);
  set_value("pdHandshake", hs);
  set_tooltip("pdHandshake", handshake_tip(hs));
  set_text("txtAddress", c.TCPIP.address);
  const std::vector<std::string> shown = sdr_.selected ? std::vector<std::string>{} : visible_controls(c.type);
  for (const FieldControl& f : kFieldControls) {
    bool v = false;
    for (const std::string& s : shown) v = v || s == f.field;
    set_visible(f.tag, v);
    set_visible(f.label, v);
  }
}

bool IoDialog::sdr_offered() const { return name() == kSigGenName; }

void IoDialog::number_entry(const char* tag, double& field, bool positive, const char* wanted) {
  const std::string& text = at(tag).text;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  const bool whole = !text.empty() && end && *end == '\0';
  if (whole && std::isfinite(v) && (!positive || v > 0)) {
    field = v;
    set_text("txtStatus", "");
  } else {
    set_text(tag, Num2Str(field));
    set_text("txtStatus", wanted);
  }
}

void IoDialog::check_hardware() {
  set_pointer("watch");
  set_text("txtStatus", "... Checking ...");
  std::string shown;
  try {
    shown = sdr_.selected ? check_sdr(sdr_) : tarvio::check_hardware(working_);
  } catch (...) {
    set_pointer("arrow");
    throw;
  }
  set_text("txtStatus", shown);
  set_pointer("arrow");
}

}  // namespace tarvio::ui
