// The I/O connection dialog: the connection kinds the instrument model
// offers, and the controls of the chosen kind (GPIB board, primary and
// secondary address; serial port, baud rate and handshake; LAN address),
// a hardware check, OK and Cancel. The rules (model, clamping, lists, tool
// tips, the check) are the instrument's (instrument/io_dialog_rules.h).
#pragma once

#include <functional>
#include <optional>

#include "records/records.h"
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

 private:
  void redraw_controls() override;
  void check_hardware();
  Configuration working_;
  int model_ = 0;
  CommandSet commands_;
};

}  // namespace tarvio::ui
