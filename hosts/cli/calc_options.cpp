// The parameter-set changes of the command line, shared by calc and window.
#include "hosts/cli/calc_options.h"

#include <cstdio>
#include <filesystem>
#include <utility>

#include "control/param_set_ops.h"
#include "control/parameter_checks.h"
#include "control/sequence_control.h"
#include "control/windowless_redraw.h"
#include "dsp/filter_design.h"
#include "dsp/filter_taps.h"
#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "instrument/packet_file.h"
#include "instrument/siggen_entry.h"
#include "mac/mac_header.h"
#include "records/field_catalog.h"
#include "records/field_path.h"
#include "records/state.h"
#include "runtime/number_text.h"

namespace tarvio::cli {

namespace {

std::pair<std::string, std::string> split_assignment(const std::string& opt, const std::string& text) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) throw UsageError(opt + " needs FIELD=VALUE, got '" + text + "'");
  return {text.substr(0, eq), text.substr(eq + 1)};
}

bool starts_with(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

// A parameters field as the window enters it, but without its clamping:
// a value no generator can make is refused with the values the field takes;
// then whatever depends on the field.
void set_parameter(const std::string& text) {
  auto [path, valueText] = split_assignment("--set", text);
  set_parameter(path, parse_value(valueText), valueText);
}

void set_parameter(const std::string& path, const Value& value, const std::string& shown) {
  State& s = state();
  // The impairments are a record of their own: Impairments.FIELD.
  if (starts_with(path, "Impairments.")) {
    Impairments m = s.impairments;
    set_field(m, path.substr(std::string("Impairments.").size()), value, "Impairments");
    check_impairments(m);
    s.impairments = std::move(m);
    return;
  }
  Parameters& p = s.parameters;
  if (auto e = find_field(p, path); e && e->info.derived)
    throw FieldError("parameters." + path + " is computed from the other fields (" + e->info.meaning +
                     ") and cannot be set");
  const double oldOverSampling = p.OverSampling;
  set_field(p, path, value, "parameters");
  check_field(p, path, "parameters");
  if (path == "OverSampling") {
    if (oldOverSampling > 0) {
      const double ratio = p.OverSampling / oldOverSampling;
      p.idleSamples = round_half_away(p.idleSamples * ratio);
      p.rampLength = round_half_away(p.rampLength * ratio);
    }
    SetSampleRate(p, s.sigGenSettings, s.dontSetSampleRate);
  }
  if (path == "OverSampling" || path == "FilterType" || path == "FilterTaps" || path == "FilterFactor") {
    try {
      p.filterCoeffs = GenFilterCoeffs(p.FilterType, p.FilterTaps, p.FilterFactor, p.OverSampling, p.filterCoeffs);
    } catch (const std::invalid_argument& e) {
      // The design's limit in the units of FilterTaps, at this oversampling.
      const std::string valueText =
          shown.empty() && value.is_numeric() && value.numel() == 1 ? Num2Str(value.to_double()) : shown;
      throw FieldError("parameters." + path + " = " + valueText + " is not allowed (" + e.what() +
                       "); FilterTaps takes above 0 and at most " + Num2Str(kMaxFilterTaps / p.OverSampling) +
                       " symbols at OverSampling " + Num2Str(p.OverSampling) + " (the window offers 1 to 1000)");
    }
  }
  if (starts_with(path, "MACheader.Contents.") && path != "MACheader.Contents.BitStream") {
    try {
      RecalcBitStream(p.MACheader.Contents);
    } catch (const std::invalid_argument& e) {
      throw FieldError(e.what());
    }
  }
  recompute_derived(p);
}

// A SigGenSettings field through the settings dialogs' entry rules, so the
// instrument is never sent what no entry could give (a NaN scaling, a
// negative frequency); each change the rules make is shown.
void set_sig_gen(const std::string& text) {
  auto [path, valueText] = split_assignment("--sig", text);
  set_sig_gen(path, parse_value(valueText), "--sig " + text);
}

std::vector<std::string> set_sig_gen(const std::string& path, const Value& value, const std::string& shown) {
  SigGenSettings& sg = state().sigGenSettings;
  const SigGenSettings before = sg;
  set_field(sg, path, value, "SigGenSettings");
  std::vector<std::string> notes = apply_entry_rules(sg, before);
  for (const std::string& note : notes)
    if (!quiet_mode()) std::fprintf(stderr, "[note] %s: %s\n", shown.c_str(), note.c_str());
  recompute_derived(state().parameters);
  return notes;
}

void select_rate(const std::string& text) {
  auto v = parse_number(text);
  const int position = v && v->imag() == 0 ? data_rate_position(v->real()) : 0;
  if (position == 0)
    throw UsageError("--rate " + text + ": the data rate must be one of 1 2 5.5 6 9 11 12 18 22 24 33 36 48 54");
  State& s = state();
  // The 33 Mbit/s sample-rate list's first entry: 3 samples per chip.
  UpdateDataRate(s.parameters, s.sigGenSettings, position, 1, s.dontSetSampleRate);
  redraw_format_records(s.parameters, s.sigGenSettings, s.dontSetSampleRate);
  // The data-rate list's own step: the payload limit of the new format,
  // which holds the payload within it (said on the command line).
  const double before = s.parameters.dataLength;
  setMaxDataLen(s.parameters);
  if (s.parameters.dataLength != before && !quiet_mode())
    std::fprintf(stderr, "[note] --rate %s: dataLength %s is held at %s (maxDataLen)\n", text.c_str(),
                 Num2Str(before).c_str(), Num2Str(s.parameters.dataLength).c_str());
  recompute_derived(s.parameters);
}

PacketFileCleanup::~PacketFileCleanup() {
  if (own_.empty() || state().parameters.multiFrame.tmpFileName != own_) return;
  packet_file::discard(own_);
}

}  // namespace tarvio::cli
