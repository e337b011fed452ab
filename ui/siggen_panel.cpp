// The signal generator settings panel.
#include "ui/siggen_panel.h"

#include <cmath>

#include "instrument/siggen_entry.h"
#include "records/state.h"
#include "runtime/number_text.h"
#include "ui/advanced_settings_dialog.h"
#include "ui/application.h"
#include "ui/main_window.h"

namespace tarvio::ui {

namespace {
double number_or_nan(const std::string& text) { return parse_entry_number(text).value_or(std::nan("")); }
SigGenSettings& sg() { return state().sigGenSettings; }
}  // namespace

SigGenPanel::SigGenPanel(Application& app, MainWindow& main) : app_(app), main_(main) {
  main_.on("txtFrequency", [this] { frequency(); });
  main_.on("pdFrequencyUnit", [this] { frequency(); });
  main_.on("txtAmplitude", [this] {
    sg().Amplitude = EntryAmplitude(number_or_nan(main_.at("txtAmplitude").text), sg().Amplitude);
    redrawSigGenSettings();
  });
  main_.on("txtTitle", [this] {
    sg().Title = EntryTitle(main_.at("txtTitle").text);
    redrawSigGenSettings();
  });
  main_.on("pbAdvanced", [this] { advanced(); });
  commands_.add("InitializeFigure", [this] { InitializeFigure(); });
  commands_.add("redrawSigGenSettings", [this] { redrawSigGenSettings(); });
  for (const char* tag : {"txtFrequency", "pdFrequencyUnit", "txtAmplitude", "txtTitle", "pbAdvanced"})
    commands_.add(std::string(tag) + "_Callback", [this, tag = std::string(tag)](const Args& a) {
      run_control_callback(main_, tag, a);
      return std::vector<Value>{};
    });
}

std::vector<Value> SigGenPanel::command(const std::string& name, const Args& args) {
  return commands_.run("KORconfig_c", name, args);
}

void SigGenPanel::InitializeFigure() {
  namespace t = siggen_tips;
  main_.set_tooltip("txtFrequency", t::kFrequency);
  main_.set_tooltip("txtAmplitude", t::kAmplitude);
  main_.set_tooltip("txtTitle", t::kTitle);
  main_.set_tooltip("pbAdvanced", t::kAdvanced);
}

void SigGenPanel::redrawSigGenSettings() {
  const FrequencyDisplay f = display_frequency(sg().Frequency);
  main_.set_text("txtFrequency", Num2Str(f.value));
  main_.set_value("pdFrequencyUnit", f.unit_position);
  main_.set_text("txtAmplitude", Num2Str(sg().Amplitude));
  main_.set_text("txtTitle", sg().Title);
}

// The number shown, in the unit chosen: a change of unit alone re-reads the
// number in the new unit.
void SigGenPanel::frequency() {
  sg().Frequency = EntryFrequency(number_or_nan(main_.at("txtFrequency").text),
                                  static_cast<int>(main_.at("pdFrequencyUnit").value), sg().Frequency);
  redrawSigGenSettings();
}

void SigGenPanel::advanced() {
  app_.advanced().open(sg(), [this](const std::string& answer, const SigGenSettings& s) {
    if (answer == "OK") sg() = s;
    redrawSigGenSettings();
  });
}

}  // namespace tarvio::ui
