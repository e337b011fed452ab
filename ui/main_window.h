// The main window: the interactive editor of the parameter set. Every
// control callback applies its entry rule to the records, writes the
// corrected value back into the control and redraws what depends on it; the
// redraw operations draw the controls from the records and make the record
// changes that go with them (format family set-up, lengths). The window
// command's local operations are reachable by name through command().
#pragma once

#include <string>
#include <vector>

#include "records/records.h"
#include "runtime/registry.h"
#include "ui/commands.h"
#include "ui/window.h"

namespace tarvio::ui {

class Application;

class MainWindow : public Window {
 public:
  explicit MainWindow(Application& app);

  // Runs a local operation by name ("redraw", "Calculate",
  // "pdDataRate_Callback", ...). Throws std::invalid_argument for an
  // unknown name; errors of the operation propagate.
  std::vector<Value> command(const std::string& name, const Args& args);
  std::vector<std::string> command_names() const { return commands_.names(); }

  // Tool tips, the channel list and the signal generator panel's set-up.
  void InitializeFigure();

  void redraw();
  void redrawFormatParameters();
  void redrawGenerationParameters();
  void redrawPaylodSetup();
  void redrawProjectedLength();
  // The status note of the impairments in force (txtImpairments).
  void redrawImpairmentsStatus();
  void DotA_redrawGenerationParameters();
  void DotB_redrawGenerationParameters();
  void Redraw_dot11aDataRate();
  // The format family set-ups: the lists, the controls shown, the
  // oversampling tool tip, and the records they touch.
  void SetupDSSS();
  void SetupOFDM();
  void SetOfdmMod();
  // maxDataLen for the format, then the data-length entry's rule again.
  void setMaxDataLen();

  // The controls the format families show and hide.
  static const std::vector<std::string>& dsss_controls();      // shown for formats 2, 3
  static const std::vector<std::string>& ofdm_controls();      // shown for format 1
  static const std::vector<std::string>& not_ofdm_controls();  // hidden for format 1

 private:
  void add(const std::string& tag, std::function<void()> rule);
  // Selects a list entry, held within the list.
  void select(const std::string& tag, double position);
  void show_number(const std::string& tag, double x);
  Parameters& p();
  SigGenSettings& sg();

  // Entry rules.
  void generation_mode(double framed);
  void data_rate();
  void modulation();
  void channel();
  void ramp_time();
  void idle_interval();
  void filter_type();
  void filter_factor();
  void filter_taps();
  void data_source();
  void data_length();
  void encoder_rate();
  void hex_entry(const std::string& tag, double& field, double lo, double hi);
  void number_entry(const std::string& tag, double& field, double lo, double hi, bool whole);
  void mac_header_setup();
  void sub_carriers_setup();
  void fading_setup();
  void clock_switch_setup();
  void events();

  Application& app_;
  CommandSet commands_;
};

}  // namespace tarvio::ui
