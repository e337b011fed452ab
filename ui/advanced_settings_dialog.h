// The advanced signal generator settings dialog: sample clock, baseband
// filter, scaling, modulator attenuation, RF blanking, level control, clock
// reference and marker polarity, edited on a copy of SigGenSettings
// (newSettings) that replaces the record only on OK.
#pragma once

#include <functional>
#include <optional>

#include "instrument/siggen_entry.h"
#include "records/records.h"
#include "ui/commands.h"
#include "ui/dialog.h"

namespace tarvio::ui {

class AdvancedSettingsDialog : public Dialog {
 public:
  using Done = std::function<void(const std::string& answer, const SigGenSettings& settings)>;
  AdvancedSettingsDialog();
  // Opens on a copy of `start`, or on the dialog's own defaults without one.
  void open(const std::optional<SigGenSettings>& start, Done done);
  void InitializeFigure();
  std::vector<Value> command(const std::string& name, const Args& args);
  const SigGenSettings& newSettings() const { return edit_.newSettings; }

 private:
  void redraw_controls() override;
  void sampling_rate();
  AdvancedSettingsEdit edit_{std::nullopt};
  CommandSet commands_;
};

}  // namespace tarvio::ui
