// tarvio-cli calc: builds a parameter set from the defaults or a parameter
// file plus command-line changes, runs the multi-packet calculation and
// writes the requested outputs.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "control/calculate_command.h"
#include "control/initialize.h"
#include "control/packet_log.h"
#include "control/param_set_ops.h"
#include "control/parameter_files.h"
#include "control/sequence_control.h"
#include "control/windowless_redraw.h"
#include "dsp/filter_design.h"
#include "files/waveform_outputs.h"
#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "instrument/packet_file.h"
#include "instrument/siggen_entry.h"
#include "mac/mac_header.h"
#include "records/field_path.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/matfile.h"
#include "runtime/report.h"

namespace tarvio::cli {

namespace {

const char* kUsage =
    "usage: tarvio-cli calc [PARAMFILE] [--rate R] [--set FIELD=VALUE ...] [--sig FIELD=VALUE ...]\n"
    "                       [--save-params FILE] [--dump FILE.mat] [--export FILE] [--raw FILE]\n"
    "                       [--save-wave FILE.mat] [--sigmf BASE]\n"
    "\n"
    "Calculates the waveform of a parameter set: the defaults, or PARAMFILE (a parameter\n"
    "file), changed by the options in the order given.\n"
    "\n"
    "  --rate R            data rate in Mbit/s (1 2 5.5 6 9 11 12 18 22 24 33 36 48 54), chosen as\n"
    "                      the window's data-rate list does (format, modulation, code rate, and the\n"
    "                      oversampling and scaling of the OFDM or DSSS family); 33 uses\n"
    "                      OverSampling 3\n"
    "  --set FIELD=VALUE   a field of parameters by dotted name, e.g. dataLength=1500,\n"
    "                      MACheader.Contents.Address1.Contents=0x123456789ABC, Fading.delay=[0.1 0 ...];\n"
    "                      stored as given (no clamping); what depends on it is updated\n"
    "  --sig FIELD=VALUE   a field of SigGenSettings, e.g. Scaling=70\n"
    "  --save-params FILE  save the parameter set (after the calculation) as a parameter file\n"
    "  --dump FILE.mat     waveform (all packets), markers, parameters, SigGenSettings, sampleRate\n"
    "  --export FILE       the instrument's waveform export file\n"
    "  --raw FILE          raw 16-bit sample file\n"
    "  --save-wave FILE    MAT file with samplePoints, sampleRate, wave\n"
    "  --sigmf BASE        BASE.sigmf-data and BASE.sigmf-meta\n"
    "\n"
    "VALUE is written as for tarvio-cli call: 12, 0x1F, [1 0 1], 'text', @file.mat:var.\n"
    "Messages go to standard error; a check that stops the calculation gives exit code 1.\n";

enum class StepKind { Rate, Set, Sig };
struct Step {
  StepKind kind;
  std::string text;
};

struct Outputs {
  std::string saveParams, dump, exportFile, raw, saveWave, sigmf;
};

// Shows dialogs through the host's reporter and the status line as a
// progress line on a terminal's standard error.
class ProgressReporter : public Reporter {
 public:
  explicit ProgressReporter(std::shared_ptr<Reporter> inner) : inner_(std::move(inner)), tty_(isatty(2) == 1) {}
  void show(const Message& m) override {
    end_line();
    inner_->show(m);
  }
  std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                  const std::string& def) override {
    end_line();
    return inner_->ask(title, text, buttons, def);
  }
  void status(const std::string& text) override {
    if (!tty_) return;
    if (text.empty()) {
      end_line();
      return;
    }
    std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
    std::fflush(stderr);
    open_ = true;
  }
  void end_line() {
    if (!open_) return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    open_ = false;
  }

 private:
  std::shared_ptr<Reporter> inner_;
  bool tty_;
  bool open_ = false;
};

// Installs the progress reporter for the command's lifetime.
class ReporterScope {
 public:
  ReporterScope() {
    // set_reporter hands back the reporter it replaces; put it back behind
    // the progress line.
    auto tmp = std::make_shared<StderrReporter>();
    previous_ = set_reporter(tmp);
    set_reporter(std::make_shared<ProgressReporter>(previous_));
  }
  ~ReporterScope() { set_reporter(previous_); }

 private:
  std::shared_ptr<Reporter> previous_;
};

std::pair<std::string, std::string> split_assignment(const std::string& opt, const std::string& text) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) throw UsageError(opt + " needs FIELD=VALUE, got '" + text + "'");
  return {text.substr(0, eq), text.substr(eq + 1)};
}

bool starts_with(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

// A parameters field as the window enters it, but without its clamping;
// then whatever depends on the field.
void set_parameter(const std::string& text) {
  auto [path, valueText] = split_assignment("--set", text);
  State& s = state();
  Parameters& p = s.parameters;
  const double oldOverSampling = p.OverSampling;
  set_field(p, path, parse_value(valueText), "parameters");
  if (path == "OverSampling") {
    if (oldOverSampling > 0) {
      const double ratio = p.OverSampling / oldOverSampling;
      p.idleSamples = round_half_away(p.idleSamples * ratio);
      p.rampLength = round_half_away(p.rampLength * ratio);
    }
    SetSampleRate(p, s.sigGenSettings, s.dontSetSampleRate);
  }
  if (path == "OverSampling" || path == "FilterType" || path == "FilterTaps" || path == "FilterFactor")
    p.filterCoeffs = GenFilterCoeffs(p.FilterType, p.FilterTaps, p.FilterFactor, p.OverSampling, p.filterCoeffs);
  if (starts_with(path, "MACheader.Contents.") && path != "MACheader.Contents.BitStream") {
    RecalcBitStream(p.MACheader.Contents);
    p.MACheader.Length = static_cast<double>(p.MACheader.Contents.BitStream.size()) / 8;
  }
  update_lengths(p);
}

// A SigGenSettings field through the settings dialogs' entry rules, so the
// instrument is never sent what no entry could give (a NaN scaling, a
// negative frequency); each change the rules make is shown.
void set_sig_gen(const std::string& text) {
  auto [path, valueText] = split_assignment("--sig", text);
  SigGenSettings& sg = state().sigGenSettings;
  const SigGenSettings before = sg;
  set_field(sg, path, parse_value(valueText), "SigGenSettings");
  for (const std::string& note : apply_entry_rules(sg, before))
    std::fprintf(stderr, "tarvio-cli: --sig %s: %s\n", text.c_str(), note.c_str());
  update_lengths(state().parameters);
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
  // The data-rate list's own step: the payload limit of the new format.
  setMaxDataLen(s.parameters);
  update_lengths(s.parameters);
}

double waveform_sample_rate() {
  const State& s = state();
  if (s.sigGenSettings.SamplingRate) return *s.sigGenSettings.SamplingRate;
  return (s.parameters.format == 1 ? 20000000.0 : 11000000.0) * s.parameters.OverSampling;
}

// The waveform and markers go from the packet file and the packet log
// straight into the file, uncompressed, so that a dump of any length holds
// only a block of samples in memory.
void write_dump(const std::string& path) {
  const PacketLog& log = last_packet_log();
  const State& s = state();
  MatWriter w(path);
  MatStream wave;
  wave.rows = log.samples() ? 1 : 0;
  wave.cols = log.samples();
  wave.complex = true;
  wave.fill = [&log](int part, const MatStream::Put& put) { walk_packet_values(log, part, put); };
  w.add("waveform", wave);
  MatStream markers;
  markers.rows = log.samples() ? 2 : 0;
  markers.cols = log.samples();
  markers.fill = [&log](int, const MatStream::Put& put) { walk_packet_markers(log, put); };
  w.add("markers", markers);
  w.add("parameters", to_value(s.parameters));
  w.add("SigGenSettings", to_value(s.sigGenSettings));
  w.add("sampleRate", Value(waveform_sample_rate()));
  w.commit();
}

// Removes this run's packet temporary file and its marker side file when
// the command ends; a file named with --set multiFrame.tmpFileName stays.
class PacketFileCleanup {
 public:
  explicit PacketFileCleanup(std::string own) : own_(std::move(own)) {}
  ~PacketFileCleanup() {
    if (own_.empty() || state().parameters.multiFrame.tmpFileName != own_) return;
    packet_file::discard(own_);
  }

 private:
  std::string own_;
};

int run_calc(const std::vector<std::string>& args) {
  std::string paramFile;
  std::vector<Step> steps;
  Outputs out;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!starts_with(a, "--")) {
      if (!paramFile.empty())
        throw UsageError("only one parameter file can be given, got '" + paramFile + "' and '" + a + "'");
      paramFile = a;
      continue;
    }
    std::string name = a, value;
    const size_t eq = a.find('=');
    if (eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
    } else {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
      value = args[++i];
    }
    if (value.empty()) throw UsageError(name + " needs a value, not an empty text");
    if (name == "--rate")
      steps.push_back({StepKind::Rate, value});
    else if (name == "--set")
      steps.push_back({StepKind::Set, value});
    else if (name == "--sig")
      steps.push_back({StepKind::Sig, value});
    else if (name == "--save-params")
      out.saveParams = value;
    else if (name == "--dump")
      out.dump = value;
    else if (name == "--export")
      out.exportFile = value;
    else if (name == "--raw")
      out.raw = value;
    else if (name == "--save-wave")
      out.saveWave = value;
    else if (name == "--sigmf")
      out.sigmf = value;
    else
      throw UsageError("unknown option " + name);
  }

  ReporterScope reporterScope;
  InitializeAll();
  State& s = state();
  PacketFileCleanup cleanup(s.parameters.multiFrame.tmpFileName);
  // As at the window's start: the playback sample rate follows the format.
  s.dontSetSampleRate = 0;
  SetSampleRate();
  if (!paramFile.empty() && !LoadParameters(paramFile)) return kExitFailure;

  for (const Step& st : steps) {
    try {
      switch (st.kind) {
        case StepKind::Rate:
          select_rate(st.text);
          break;
        case StepKind::Set:
          set_parameter(st.text);
          break;
        case StepKind::Sig:
          set_sig_gen(st.text);
          break;
      }
    } catch (const FieldError& e) {
      throw UsageError(std::string(st.kind == StepKind::Sig ? "--sig " : "--set ") + st.text + ": " + e.what());
    }
  }

  if (!CalculateCommand()) return kExitFailure;

  if (!out.saveParams.empty() && !saveParameters(out.saveParams, s.parameters, s.sigGenSettings)) return kExitFailure;
  if (!out.dump.empty()) write_dump(out.dump);
  if (!out.exportFile.empty()) WriteExportFile(out.exportFile);
  if (!out.raw.empty()) WriteRawWaveform(out.raw);
  if (!out.saveWave.empty()) WriteSaveWave(out.saveWave);
  if (!out.sigmf.empty()) WriteSigmf(out.sigmf);
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"calc", "calculate a waveform from the defaults or a parameter file and write outputs", kUsage,
                    &run_calc});

}  // namespace tarvio::cli
