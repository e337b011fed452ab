// The advanced signal generator settings dialog's controls and entry rules.
#include "ui/advanced_settings_dialog.h"

#include <cmath>

#include "runtime/number_text.h"

namespace tarvio::ui {

namespace {

std::vector<ControlSpec> make_table() {
  using K = ControlKind;
  return {
      {"lblSamplingRate", K::Label, "Sample Rate:", "settings", {}},
      {"txtSamplingRate", K::Edit, "", "settings", {}},
      {"pdSamplingRateUnit", K::List, "", "settings", {"Hz", "kHz", "MHz", "GHz"}},
      {"lblBBfilter", K::Label, "IQ Filter:", "settings", {}},
      {"pdBBfilter", K::List, "", "settings", {"2.1 MHz", "40 MHz", "Through"}},
      {"lblScaling", K::Label, "Scaling (%):", "settings", {}},
      {"txtScaling", K::Edit, "", "settings", {}},
      {"lblModAtten", K::Label, "Modulator Attenuation (dB):", "settings", {}},
      {"txtModAtten", K::Edit, "", "settings", {}},
      {"chkModAttenAuto", K::Check, "Auto", "settings", {}},
      {"chkRFblanking", K::Check, "RF Blanking", "settings", {}},
      {"chkALC", K::Check, "ALC", "settings", {}},
      {"lblArbRefSource", K::Label, "ARB Reference:", "settings", {}},
      {"pdArbRefSource", K::List, "", "settings", {"Internal", "External"}},
      {"lblMarkerPolarity", K::Label, "Marker Polarity:", "settings", {}},
      {"pdMarkerPolarity", K::List, "", "settings", {"Positive", "Negative"}},
      {"pbOK", K::Button, "OK", "buttons", {}},
      {"pbCancel", K::Button, "Cancel", "buttons", {}},
  };
}

double number_or_nan(const std::string& text) { return parse_entry_number(text).value_or(std::nan("")); }

}  // namespace

AdvancedSettingsDialog::AdvancedSettingsDialog()
    : Dialog("figAdvSettings", "Advanced Signal Generator Settings", make_table()) {
  SigGenSettings& s = edit_.newSettings;
  on("txtSamplingRate", [this] { sampling_rate(); });
  on("pdSamplingRateUnit", [this] { sampling_rate(); });
  on("pdBBfilter", [this, &s] { s.BBfilter = at("pdBBfilter").value; });
  on("txtScaling", [this, &s] {
    s.Scaling = EntryScaling(number_or_nan(at("txtScaling").text), s.Scaling);
    set_text("txtScaling", Num2Str(s.Scaling));
  });
  on("txtModAtten", [this, &s] {
    s.ModAtten = EntryModAtten(number_or_nan(at("txtModAtten").text), s.ModAtten);
    set_text("txtModAtten", Num2Str(s.ModAtten));
  });
  on("chkModAttenAuto", [this, &s] {
    s.ModAttenAuto = at("chkModAttenAuto").value;
    set_enabled("txtModAtten", s.ModAttenAuto == 0);
  });
  on("chkRFblanking", [this, &s] { s.RFblanking = at("chkRFblanking").value; });
  on("chkALC", [this, &s] { s.ALC = at("chkALC").value; });
  on("pdArbRefSource", [this, &s] { s.ArbRefSource = at("pdArbRefSource").value - 1; });
  on("pdMarkerPolarity", [this, &s] { s.MarkerPolarity = at("pdMarkerPolarity").value - 1; });
  commands_.add("InitializeFigure", [this] { InitializeFigure(); });
  add_callback_commands(commands_, *this);
}

void AdvancedSettingsDialog::InitializeFigure() {
  namespace t = siggen_tips;
  set_tooltip("txtSamplingRate", t::kSamplingRate);
  set_tooltip("pdBBfilter", t::kFilter);
  set_tooltip("txtScaling", t::kScaling);
  set_tooltip("txtModAtten", t::kModAtten);
  set_tooltip("chkModAttenAuto", t::kModAttenAuto);
  set_tooltip("chkRFblanking", t::kRFblanking);
  set_tooltip("chkALC", t::kALC);
  set_tooltip("pdArbRefSource", t::kArbRefSource);
  set_tooltip("pdMarkerPolarity", t::kMarkerPolarity);
  set_tooltip("pbOK", t::kOk);
  set_tooltip("pbCancel", t::kCancel);
}

std::vector<Value> AdvancedSettingsDialog::command(const std::string& name, const Args& args) {
  return commands_.run("KorConfigAdv_c", name, args);
}

void AdvancedSettingsDialog::open(const std::optional<SigGenSettings>& start, Done done) {
  edit_.newSettings = AdvancedSettingsEdit(start).newSettings;
  begin([this, done = std::move(done)](const std::string& answer) {
    if (done) done(answer, edit_.newSettings);
  });
}

void AdvancedSettingsDialog::sampling_rate() {
  SigGenSettings& s = edit_.newSettings;
  const double previous = s.SamplingRate.value_or(std::nan(""));
  const double rate = EntrySamplingRate(number_or_nan(at("txtSamplingRate").text),
                                        static_cast<int>(at("pdSamplingRateUnit").value), previous);
  if (!std::isnan(rate)) s.SamplingRate = rate;
  redraw_controls();
}

void AdvancedSettingsDialog::redraw_controls() {
  const SigGenSettings& s = edit_.newSettings;
  if (s.SamplingRate) {
    const FrequencyDisplay d = display_frequency(*s.SamplingRate);
    set_text("txtSamplingRate", Num2Str(d.value));
    set_value("pdSamplingRateUnit", d.unit_position);
  } else {
    set_text("txtSamplingRate", "");
  }
  set_value("pdBBfilter", s.BBfilter >= 1 && s.BBfilter <= 3 ? s.BBfilter : 3);
  set_text("txtScaling", Num2Str(s.Scaling));
  set_text("txtModAtten", Num2Str(s.ModAtten));
  set_value("chkModAttenAuto", s.ModAttenAuto != 0 ? 1 : 0);
  set_enabled("txtModAtten", s.ModAttenAuto == 0);
  set_value("chkRFblanking", s.RFblanking != 0 ? 1 : 0);
  set_value("chkALC", s.ALC != 0 ? 1 : 0);
  set_value("pdArbRefSource", s.ArbRefSource == 0 ? 1 : 2);
  set_value("pdMarkerPolarity", s.MarkerPolarity == 0 ? 1 : 2);
}

}  // namespace tarvio::ui
