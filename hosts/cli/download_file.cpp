// Setting up the download of a waveform file.
#include "hosts/cli/download_file.h"

#include <cstdio>

#include "control/param_set_ops.h"
#include "control/parameter_files.h"
#include "files/stored_waveform.h"
#include "hosts/cli/calc_entries.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/number_text.h"

namespace tarvio::cli {

namespace {

double memory_samples(const std::string& bbg) {
  if (bbg == "MEM-B") return 32000000;
  if (bbg == "MEM-C") return 64000000;
  return 8000000;
}

}  // namespace

int prepare_stored_download(const std::string& file, const std::vector<std::string>& args, const std::string& packets,
                            const std::string& memory) {
  std::string paramFile;
  std::vector<std::string> sig;
  std::string mem = memory;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    if (name.rfind("--", 0) != 0) {
      if (!paramFile.empty()) throw UsageError("only one parameter file can be given");
      paramFile = name;
      continue;
    }
    if (const size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    } else if (name == "--sig" || name == "--memory") {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
      value = args[++i];
    }
    if (name == "--sig")
      sig.push_back(value);
    else if (name == "--memory")
      mem = value;
    else
      throw UsageError("with --file the waveform is sent as it is: " + name +
                       " cannot be given (a parameter file, --sig and --memory can)");
  }
  CliReporterScope reporterScope;
  State& s = state();
  s.dontSetSampleRate = 0;
  SetSampleRate();
  set_memory(mem);
  if (!paramFile.empty() && !LoadParameters(paramFile)) return kExitFailure;

  StoredWaveform w;
  try {
    w = copy_stored_waveform(file, packets, size_t(memory_samples(s.configuration.BBGtype)));
  } catch (const WaveformTooLarge& e) {
    throw std::runtime_error(std::string(e.what()) + " (" + s.configuration.BBGtype +
                             "; --memory MEM-A|MEM-B|MEM-C names the memory option)");
  }
  if (w.sample_rate > 0) s.sigGenSettings.SamplingRate = w.sample_rate;
  for (const std::string& text : sig) {
    try {
      apply_sig_setting(text);
    } catch (const FieldError& e) {
      throw UsageError("--sig " + text + ": " + e.what());
    }
  }
  Parameters& p = s.parameters;
  p.multiFrame.tmpFileName = packets;
  p.multiFrame.pktSize = double(w.samples);
  p.multiFrame.max = w.peak;
  p.numberOfPackets = 1;
  // The transfer reads the samples and markers from the packet file; the
  // marker rows held here only tell it that the waveform carries two.
  s.waveform.clear();
  s.markers = Markers{{0}, {1}};
  if (!quiet_mode())
    std::fprintf(stderr, "Playing %s (%s): %zu samples%s, %s\n", file.c_str(), w.kind.c_str(), w.samples,
                 w.sample_rate > 0 ? (" at " + Num2Str(w.sample_rate) + " Hz").c_str() : "",
                 w.file_markers ? "markers from the file" : "marker 2 over the whole waveform");
  return kExitOk;
}

}  // namespace tarvio::cli
