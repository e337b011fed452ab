// Saving and loading of parameter files.
#include "control/parameter_files.h"

#include <stdexcept>

#include "control/parameter_checks.h"
#include "instrument/siggen_entry.h"
#include "records/compare_struct.h"
#include "records/record_value.h"
#include "records/state.h"
#include "records/window_hooks.h"
#include "runtime/matfile.h"
#include "runtime/registry.h"
#include "runtime/report.h"

namespace tarvio {

namespace {

const char* kLoadTitle = "Error Loading File";

// The loaded records, or nothing when the file's format tag is not ours.
// Throws when the file cannot be read or a variable does not fit.
struct LoadedFile {
  Parameters parameters;
  SigGenSettings sigGen;
  Impairments impairments;  // all off when the file has none
};

std::optional<LoadedFile> read_parameter_file(const std::string& filename) {
  // The file is read in place: any name or extension is accepted as long as
  // the contents are a MAT container.
  const MatVars vars = mat_read(filename, {kSettingsFileMaxBytes});
  const Value* f = nullptr;
  const Value* sg = nullptr;
  const Value* imp = nullptr;
  for (const auto& [name, v] : vars) {
    if (name == "fileParameters") f = &v;
    if (name == "sigGenParameters") sg = &v;
    if (name == kImpairmentsVariable) imp = &v;
  }
  if (!f || !f->is_record()) return std::nullopt;
  const Value* tag = f->record().find("ParameterFileFormat_ID");
  if (!tag || !tag->is_text() || tag->str() != state().parameters.ParameterFileFormat_ID) return std::nullopt;
  if (!sg) throw std::runtime_error("The file holds no variable 'sigGenParameters'.");
  Value sgv = *sg;
  // Files written before automatic modulator attenuation existed.
  if (sgv.is_record() && !sgv.record().has("ModAttenAuto")) sgv.record().set("ModAttenAuto", Value(0.0));
  Parameters loaded = record_from_value<Parameters>(*f, "fileParameters");
  // A file edited elsewhere may hold values no generator can make. They are
  // checked on a copy with the derived fields recomputed (a stored
  // maxDataLen or ProjectedLength may be stale); the set itself is restored
  // as it was saved, and the window's redraw, or the host, recomputes them.
  Parameters probe = loaded;
  check_and_derive(probe, "fileParameters");
  Impairments impairments;
  if (imp) {
    impairments = record_from_value<Impairments>(*imp, kImpairmentsVariable);
    check_impairments(impairments);
  }
  return LoadedFile{std::move(loaded), record_from_value<SigGenSettings>(sgv, "sigGenParameters"),
                    std::move(impairments)};
}

}  // namespace

bool saveParameters(const std::string& filename, const Parameters& parameters, const SigGenSettings& sigGen) {
  return saveParameters(filename, parameters, sigGen, state().impairments);
}

bool saveParameters(const std::string& filename, const Parameters& parameters, const SigGenSettings& sigGen,
                    const Impairments& impairments) {
  try {
    MatVars vars = {{"fileParameters", to_value(parameters)},
                    {"filename", Value(filename)},
                    {"sigGenParameters", to_value(sigGen)}};
    // A set without impairments is written as it always was.
    const Value imp = to_value(impairments);
    if (!CompareStruct(imp, to_value(Impairments{}))) vars.push_back({kImpairmentsVariable, imp});
    mat_write(filename, vars);
    return true;
  } catch (const std::exception& e) {
    report_error("Error Saving " + filename, e.what());
    return false;
  }
}

bool LoadParameters(const std::string& filename) {
  std::optional<LoadedFile> loaded;
  try {
    loaded = read_parameter_file(filename);
  } catch (const std::exception& e) {
    report_error(kLoadTitle, e.what());
    return false;
  }
  if (!loaded) {
    report_error(kLoadTitle, filename + "\nhas an Invalid File Format.");
    return false;
  }
  State& s = state();
  // The packet temporary file belongs to the running program: a set saved
  // by another run names that run's file, which may be in use.
  if (!s.parameters.multiFrame.tmpFileName.empty())
    loaded->parameters.multiFrame.tmpFileName = s.parameters.multiFrame.tmpFileName;
  s.parameters = std::move(loaded->parameters);
  s.impairments = std::move(loaded->impairments);
  // The playback settings of a file edited elsewhere go through the entry
  // rules of the settings dialogs, as if entered there.
  const SigGenSettings before = s.sigGenSettings;
  s.sigGenSettings = std::move(loaded->sigGen);
  const std::vector<std::string> notes = apply_entry_rules(s.sigGenSettings, before, false);
  if (!notes.empty()) {
    std::string text = filename + "\nholds signal generator settings outside their ranges:";
    for (const auto& n : notes) text += "\n" + n;
    report_warning("Signal Generator Settings", text);
  }
  if (s.parameters.faceless != 1) {
    s.dontSetSampleRate = 1;
    call_hook(window_hooks().redraw);
    s.dontSetSampleRate = 0;
  }
  return true;
}

TARVIO_OP(
    "LoadParameters", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      // The second argument (the window's handles) is accepted and not needed:
      // the redraw goes through the window hook.
      return {Value(LoadParameters(arg_required(in, 0, "LoadParameters").str()) ? 1.0 : 0.0)};
    },
    "success = LoadParameters(filename[, handles]): loads a parameter file into parameters and SigGenSettings");

}  // namespace tarvio
