// The I/O connection dialog: the connection kinds the instrument model
// offers, and the controls of the chosen kind (GPIB board, primary and
// secondary address; serial port, baud rate and handshake; LAN address),
// a hardware check, OK and Cancel. The rules (model, clamping, lists, tool
// tips, the check) are the instrument's (instrument/io_dialog_rules.h).
// The signal generator's dialog also offers a software-defined radio
// ("SDR (SoapySDR)": device arguments, frequency, gain), which Download then
// plays on (ui/sdr_connection.h).
#pragma once

#include <functional>
#include <optional>

#include "records/records.h"
#include "ui/sdr_connection.h"
#include "ui/commands.h"
#include "ui/dialog.h"

namespace tarvio::ui {

class IoDialog : public Dialog {
 public:
  using Done = std::function<void(const std::string& answer, const Configuration& config)>;
  static constexpr const char* kSigGenName = "Signal Generator IO Connection";
  static constexpr const char* kSpecAnName = "Spectrum Analyzer IO Connection";
  IoDialog();
  // Opens on the record as the dialog prepares it for the platform's model.
  void open(const std::optional<Configuration>& start, const std::string& platform, Done done);
  void InitializeFigure();
  std::vector<Value> command(const std::string& name, const Args& args);
  const Configuration& working() const { return working_; }
  // The radio's settings: set before open(), read after OK.
  void set_sdr(const SdrConnection& s) { sdr_ = s; }
  const SdrConnection& sdr() const { return sdr_; }

 private:
  void redraw_controls() override;
  void check_hardware();
  bool sdr_offered() const;
  // A number entry of the radio: kept when it passes, else the old value
  // comes back and the status line says what is wanted.
  void number_entry(const char* tag, double& field, bool positive, const char* wanted);
  Configuration working_;
  SdrConnection sdr_;
  int model_ = 0;
  CommandSet commands_;
};

}  // namespace tarvio::ui
