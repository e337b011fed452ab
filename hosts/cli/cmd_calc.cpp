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
#include "control/parameter_checks.h"
#include "control/parameter_files.h"
#include "control/sequence_control.h"
#include "control/windowless_redraw.h"
#include "dsp/filter_design.h"
#include "dsp/phase_noise.h"
#include "files/waveform_outputs.h"
#include "hosts/cli/calc_entries.h"
#include "hosts/cli/calc_options.h"
#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "hosts/cli/cmd_verify.h"
#include "instrument/packet_file.h"
#include "instrument/siggen_entry.h"
#include "mac/mac_header.h"
#include "records/field_catalog.h"
#include "records/field_path.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/matfile.h"
#include "runtime/number_text.h"
#include "runtime/report.h"

namespace tarvio::cli {

namespace {

const char* kUsage =
    "usage: tarvio-cli calc [PARAMFILE] [--rate R] [--set FIELD=VALUE ...] [--sig FIELD=VALUE ...]\n"
    "                       [--idle-us T] [--ramp-us T] [--payload-file FILE [--bit-order ORDER]]\n"
    "                       [--memory MEM-A|MEM-B|MEM-C] [--save-params FILE] [--dump FILE.mat]\n"
    "                       [--export FILE] [--raw FILE] [--save-wave FILE.mat] [--sigmf BASE]\n"
    "                       [--verify] [--json]\n"
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
    "                      stored as given (no clamping, but a value no generator can make is\n"
    "                      refused); what depends on it is updated (tarvio-cli fields lists them);\n"
    "                      Impairments.FIELD sets the impairments, e.g. Impairments.SNR=25\n"
    "  --sig FIELD=VALUE   a field of SigGenSettings, e.g. Scaling=70\n"
    "  --idle-us T         idle interval after each frame in microseconds (0 to 100000), as the\n"
    "                      window's entry takes it (idleSamples at the format's sample rate)\n"
    "  --ramp-us T         power ramp length in microseconds (0 to 1000), as the window's entry\n"
    "  --payload-file FILE the payload of every packet read from FILE (source 7), at most\n"
    "                      maxDataLen bytes; dataLength follows the file\n"
    "  --bit-order ORDER   left-msb (each byte most significant bit first; the default) or\n"
    "                      right-msb, for --payload-file\n"
    "  --memory OPTION     the instrument's baseband memory, MEM-A (8 Msamples), MEM-B (32) or\n"
    "                      MEM-C (64, the default); a larger waveform is refused\n"
    "  --save-params FILE  save the parameter set (after the calculation) as a parameter file\n"
    "  --dump FILE.mat     waveform (all packets), markers, parameters, SigGenSettings, sampleRate\n"
    "                      (and Impairments when any is on)\n"
    "  --export FILE       the instrument's waveform export file\n"
    "  --raw FILE          raw 16-bit sample file\n"
    "  --save-wave FILE    MAT file with samplePoints, sampleRate, wave\n"
    "  --sigmf BASE        BASE.sigmf-data and BASE.sigmf-meta (BASE.sigmf-meta names the same)\n"
    "  --verify            demodulate and check every packet as tarvio-cli verify does (exit code 1\n"
    "                      when a packet fails); --json prints its results as JSON\n"
    "\n"
    "The default payload is all zeros: --set dataSourceType=5 gives PN9, 6 PN15, and\n"
    "--payload-file a file. tarvio-cli fields lists every field, its values and default.\n"
    "VALUE is written as for tarvio-cli call: 12, 0x1F, [1 0 1], 'text', @file.mat:var.\n"
    "Messages go to standard error, with a progress line on a terminal and one line per file\n"
    "written (--quiet: errors only); a check that stops the calculation gives exit code 1.\n";

enum class StepKind { Rate, Set, Sig, IdleUs, RampUs, PayloadFile, Memory };
struct Step {
  StepKind kind;
  std::string text;
};

struct Outputs {
  std::string saveParams, dump, exportFile, raw, saveWave, sigmf;
};

bool starts_with(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

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
  // What the waveform was impaired with, for the receivers that measure it.
  if (any_impairment(s.impairments)) w.add("Impairments", to_value(s.impairments));
  w.add("sampleRate", Value(waveform_sample_rate()));
  w.commit();
}

// Writes the requested files, each followed by its line (path, size,
// samples, sample rate). False when the parameter file was not written
// (its error has been shown).
bool write_outputs(const Outputs& out) {
  State& s = state();
  const double samples = static_cast<double>(last_packet_log().samples());
  const double rate = waveform_sample_rate();
  if (!out.saveParams.empty()) {
    if (!saveParameters(out.saveParams, s.parameters, s.sigGenSettings)) return false;
    report_written(out.saveParams);
  }
  // The status line names the file being written (the sample counts of a
  // streamed file follow it).
  auto writing = [](const std::string& path) { reporter().status("Writing " + path + " ..."); };
  if (!out.dump.empty()) {
    writing(out.dump);
    write_dump(out.dump);
    report_written(out.dump, samples, rate);
  }
  if (!out.exportFile.empty()) {
    writing(out.exportFile);
    WriteExportFile(out.exportFile);
    report_written(out.exportFile, samples, rate);
  }
  if (!out.raw.empty()) {
    writing(out.raw);
    WriteRawWaveform(out.raw);
    report_written(out.raw, samples, rate);
  }
  if (!out.saveWave.empty()) {
    writing(out.saveWave);
    WriteSaveWave(out.saveWave);
    report_written(out.saveWave, samples, rate);
  }
  if (!out.sigmf.empty()) {
    writing(out.sigmf + ".sigmf-data");
    WriteSigmf(out.sigmf);
    report_written(out.sigmf + ".sigmf-data", samples, rate);
    report_written(out.sigmf + ".sigmf-meta");
  }
  reporter().status("");
  return true;
}

int run_calc(const std::vector<std::string>& args) {
  std::string paramFile;
  std::vector<Step> steps;
  Outputs out;
  std::string bitOrder = "left-msb";
  bool verify = false, json = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--verify" || a == "--json") {
      (a == "--verify" ? verify : json) = true;
      continue;
    }
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
      out.sigmf = sigmf_base(value);
    else if (name == "--idle-us")
      steps.push_back({StepKind::IdleUs, value});
    else if (name == "--ramp-us")
      steps.push_back({StepKind::RampUs, value});
    else if (name == "--payload-file")
      steps.push_back({StepKind::PayloadFile, value});
    else if (name == "--bit-order")
      bitOrder = value;
    else if (name == "--memory")
      steps.push_back({StepKind::Memory, value});
    else
      throw UsageError("unknown option " + name);
  }

  CliReporterScope reporterScope;
  InitializeAll();
  State& s = state();
  PacketFileCleanup cleanup(s.parameters.multiFrame.tmpFileName);
  // As at the window's start: the playback sample rate follows the format.
  s.dontSetSampleRate = 0;
  SetSampleRate();
  if (!paramFile.empty()) {
    if (!LoadParameters(paramFile)) return kExitFailure;
    // The file's own derived fields may be stale (edited elsewhere).
    recompute_derived(s.parameters);
  }

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
        case StepKind::IdleUs:
          set_idle_us(st.text);
          break;
        case StepKind::RampUs:
          set_ramp_us(st.text);
          break;
        case StepKind::PayloadFile:
          load_payload_file(st.text, bitOrder);
          break;
        case StepKind::Memory:
          set_memory(st.text);
          break;
      }
    } catch (const FieldError& e) {
      throw UsageError(std::string(st.kind == StepKind::Sig ? "--sig " : "--set ") + st.text + ": " + e.what());
    }
  }

  // The options together: the rules between fields (rate and format,
  // payload and maxDataLen, ...).
  try {
    check_and_derive(s.parameters);
  } catch (const FieldError& e) {
    throw UsageError(e.what());
  }
  if (!CalculateCommand()) return kExitFailure;
  if (!s.impairments.PhaseNoise.empty() && !quiet_mode())
    std::fprintf(stderr, "[note] Impairments.PhaseNoise: integrated phase error %.4g degrees rms\n",
                 phase_noise_rms_degrees(s.impairments.PhaseNoise,
                                         (s.parameters.format == 1 ? 20e6 : 11e6) * s.parameters.OverSampling));

  if (!write_outputs(out)) return kExitFailure;
  if (verify) return verify_last_calculation(json);
  return kExitOk;
}

}  // namespace

void apply_sig_setting(const std::string& text) { set_sig_gen(text); }

TARVIO_CLI_COMMAND({"calc", "calculate a waveform from the defaults or a parameter file and write outputs", kUsage,
                    &run_calc});

}  // namespace tarvio::cli
