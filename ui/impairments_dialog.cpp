// The impairments dialog's controls and their entry rules.
#include "ui/impairments_dialog.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "control/parameter_checks.h"
#include "dsp/impairment_chain.h"
#include "dsp/phase_noise.h"
#include "records/field_catalog.h"
#include "runtime/number_text.h"

namespace tarvio::ui {

namespace {

// One numeric entry: its tag, the field's dotted name, its label, and where
// the value lives in the record.
struct Entry {
  const char* tag;
  const char* field;
  const char* label;
  double Impairments::*member;
  double PowerAmplifier::*pa_member;  // for the PA fields instead
  int element;                        // for DCOffset: 0 = I, 1 = Q
};

const Entry kEntries[] = {
    {"txtSNR", "SNR", "SNR (dB):", &Impairments::SNR, nullptr, -1},
    {"txtNoiseBandwidth", "NoiseBandwidth", "Noise Bandwidth (Hz):", &Impairments::NoiseBandwidth, nullptr, -1},
    {"txtCFO", "CFO", "CFO (Hz):", &Impairments::CFO, nullptr, -1},
    {"txtPhaseOffset", "PhaseOffset", "Phase Offset (deg):", &Impairments::PhaseOffset, nullptr, -1},
    {"txtClockPpm", "ClockPpm", "Clock Error (ppm):", &Impairments::ClockPpm, nullptr, -1},
    {"txtIQGain", "IQGain", "IQ Gain Imbalance (dB):", &Impairments::IQGain, nullptr, -1},
    {"txtIQPhase", "IQPhase", "IQ Phase Imbalance (deg):", &Impairments::IQPhase, nullptr, -1},
    {"txtIQSkew", "IQSkew", "IQ Skew (ns):", &Impairments::IQSkew, nullptr, -1},
    {"txtDCOffsetI", "DCOffset", "DC Offset I (dBc):", nullptr, nullptr, 0},
    {"txtDCOffsetQ", "DCOffset", "DC Offset Q (dBc):", nullptr, nullptr, 1},
    {"txtPASaturation", "PA.Saturation", "PA Saturation (dB re rms):", nullptr, &PowerAmplifier::Saturation, -1},
    {"txtPASmoothness", "PA.Smoothness", "PA Smoothness p:", nullptr, &PowerAmplifier::Smoothness, -1},
    {"txtPAAMPM", "PA.AMPM", "PA AM/PM (deg):", nullptr, &PowerAmplifier::AMPM, -1},
    {"txtClipPAPR", "ClipPAPR", "Clip to PAPR (dB):", &Impairments::ClipPAPR, nullptr, -1},
    {"txtSeed", "Seed", "Seed:", &Impairments::Seed, nullptr, -1},
};

std::string label_tag(const char* tag) { return std::string("lbl") + (tag + 3); }

double& slot(Impairments& m, const Entry& e) {
  if (e.element >= 0) return m.DCOffset[static_cast<size_t>(e.element)];
  if (e.pa_member) return m.PA.*e.pa_member;
  return m.*e.member;
}

FieldInfo info_of(const char* field) {
  const auto f = find_field(Impairments{}, field);
  return f ? f->info : FieldInfo{};
}

std::vector<ControlSpec> make_table() {
  using K = ControlKind;
  std::vector<ControlSpec> t;
  for (const Entry& e : kEntries) {
    t.push_back({label_tag(e.tag), K::Label, e.label, "entries", {}});
    t.push_back({e.tag, K::Edit, "", "entries", {}});
    if (std::string(e.tag) == "txtClockPpm")
      t.push_back({"chkLockedClocks", K::Check, "Carrier locked to the sample clock", "entries", {}});
  }
  t.push_back({"lblPhaseNoise", K::Label, "Phase Noise (Hz dBc/Hz ...):", "entries", {}});
  t.push_back({"txtPhaseNoise", K::Edit, "", "entries", {}});
  t.push_back({"txtPhaseNoiseRms", K::Edit, "", "entries", {}, true});
  t.push_back({"pbAllOff", K::Button, "All Off", "buttons", {}});
  t.push_back({"pbOK", K::Button, "OK", "buttons", {}});
  t.push_back({"pbCancel", K::Button, "Cancel", "buttons", {}});
  return t;
}

// The entry rule of a numeric field from its rule in the field list.
double entry_value(const std::string& text, double previous, const FieldRule& rule) {
  const std::optional<double> v = parse_entry_number(text);
  if (!v) return previous;
  if (rule.has_off && *v == rule.off) return *v;
  if (std::isinf(*v)) return *v > 0 ? rule.hi : rule.lo;
  double x = rule.step == 1 ? round_half_away(*v) : *v;
  x = std::clamp(x, rule.lo, rule.hi);
  // An open lower limit (a bandwidth above 0) holds at the smallest whole unit.
  if (rule.lo_open && x <= rule.lo) x = rule.lo + 1;
  return x;
}

std::string profile_text(const std::vector<double>& p) {
  std::string t;
  for (size_t k = 0; k < p.size(); ++k) t += (k ? (k % 2 ? " " : "  ") : "") + Num2Str(p[k]);
  return t;
}

// The pairs of a profile entry, or nothing when it is not a valid profile.
std::optional<std::vector<double>> profile_entry(const std::string& text) {
  std::string clean = text;
  for (char& c : clean)
    if (c == ',' || c == ';' || c == '[' || c == ']') c = ' ';
  std::istringstream in(clean);
  std::vector<double> out;
  std::string word;
  while (in >> word) {
    const std::optional<double> v = parse_entry_number(word);
    if (!v) return std::nullopt;
    out.push_back(*v);
  }
  Impairments probe;
  probe.PhaseNoise = out;
  try {
    check_impairments(probe);
  } catch (const FieldError&) {
    return std::nullopt;
  }
  return out;
}

std::string tip(const char* field) {
  const FieldInfo info = info_of(field);
  std::string t = info.meaning;
  if (!t.empty()) t[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
  if (*info.unit) t += std::string(" (") + info.unit + ")";
  if (*info.values) t += std::string(".\nValid Range: ") + info.values;
  return t;
}

}  // namespace

ImpairmentsDialog::ImpairmentsDialog() : Dialog("figImpairments", "Impairments Setup", make_table()) {
  for (const Entry& e : kEntries) {
    on(e.tag, [this, &e] {
      double& v = slot(working_, e);
      v = entry_value(at(e.tag).text, v, info_of(e.field).rule);
      // The carrier offset also stays below half the waveform's sample rate.
      if (e.member == &Impairments::CFO) v = std::clamp(v, 1 - sample_rate_ / 2, sample_rate_ / 2 - 1);
      // The noise band is at least what its filter makes (see ImpairmentChain).
      if (e.member == &Impairments::NoiseBandwidth) v = std::max(v, sample_rate_ / kNarrowestNoiseBand);
      redraw_controls();
    });
  }
  on("chkLockedClocks", [this] { working_.LockedClocks = at("chkLockedClocks").value != 0 ? 1 : 0; });
  on("txtPhaseNoise", [this] {
    if (auto p = profile_entry(at("txtPhaseNoise").text)) working_.PhaseNoise = *p;
    redraw_controls();
  });
  on("pbAllOff", [this] {
    const double seed = working_.Seed;
    working_ = Impairments{};
    working_.Seed = seed;
    redraw_controls();
  });
  commands_.add("InitializeFigure", [this] { InitializeFigure(); });
  add_callback_commands(commands_, *this);
}

void ImpairmentsDialog::InitializeFigure() {
  for (const Entry& e : kEntries) {
    std::string t = tip(e.field);
    if (e.element >= 0) t = (e.element == 0 ? "I part. " : "Q part. ") + t;
    set_tooltip(e.tag, t);
  }
  set_tooltip("chkLockedClocks", tip("LockedClocks"));
  set_tooltip("txtPhaseNoise", tip("PhaseNoise"));
  set_tooltip("txtPhaseNoiseRms", "Integrated phase error of the profile at the waveform's sample rate.");
  set_tooltip("pbAllOff", "Switches every impairment off (the seed is kept).");
  set_tooltip("pbOK", "Apply all changes.");
  set_tooltip("pbCancel", "Discards all changes.");
}

std::vector<Value> ImpairmentsDialog::command(const std::string& name, const Args& args) {
  return commands_.run("impairments_GUI", name, args);
}

void ImpairmentsDialog::open(const Impairments& start, double sample_rate, Done done) {
  working_ = start;
  if (working_.DCOffset.size() != 2) working_.DCOffset.resize(2, -FieldRule::kInf);
  sample_rate_ = sample_rate;
  begin([this, done = std::move(done)](const std::string& answer) {
    if (done) done(answer, working_);
  });
}

void ImpairmentsDialog::redraw_controls() {
  for (const Entry& e : kEntries) set_text(e.tag, Num2Str(slot(working_, e)));
  set_value("chkLockedClocks", working_.LockedClocks);
  set_text("txtPhaseNoise", profile_text(working_.PhaseNoise));
  std::string rms = "no phase noise";
  if (!working_.PhaseNoise.empty()) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4g deg rms", phase_noise_rms_degrees(working_.PhaseNoise, sample_rate_));
    rms = buf;
  }
  set_text("txtPhaseNoiseRms", rms);
}

std::string impairments_status(const Impairments& m) {
  if (!any_impairment(m)) return "";
  std::vector<std::string> on;
  if (std::isfinite(m.SNR)) on.push_back("SNR " + Num2Str(m.SNR) + " dB");
  if (m.CFO != 0) on.push_back("CFO");
  if (m.PhaseOffset != 0) on.push_back("phase");
  if (m.ClockPpm != 0) on.push_back("clock");
  if (m.IQGain != 0 || m.IQPhase != 0 || m.IQSkew != 0) on.push_back("IQ");
  if (std::any_of(m.DCOffset.begin(), m.DCOffset.end(), [](double d) { return std::isfinite(d); })) on.push_back("DC");
  if (!m.PhaseNoise.empty()) on.push_back("phase noise");
  if (std::isfinite(m.PA.Saturation)) on.push_back("PA");
  if (std::isfinite(m.ClipPAPR)) on.push_back("clipping");
  std::string t = "Impairments on:";
  for (size_t k = 0; k < on.size(); ++k) t += (k ? ", " : " ") + on[k];
  return t;
}

}  // namespace tarvio::ui
