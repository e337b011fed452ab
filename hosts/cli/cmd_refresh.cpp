// tarvio-cli refresh: sends the playback settings (no waveform) to the
// signal generator, from the defaults or a parameter file.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "control/param_set_ops.h"
#include "control/parameter_files.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "hosts/cli/connection_settings.h"
#include "instrument/download_sequence.h"
#include "records/state.h"

namespace tarvio::cli {

namespace {

const std::string kUsage =
    std::string(
        "usage: tarvio-cli refresh [PARAMFILE] [connection options]\n"
        "\n"
        "Sends the playback settings (carrier, level, sample clock, filter, scaling, attenuation,\n"
        "level control, markers, reference; the waveform title selects the waveform) of the\n"
        "defaults or of PARAMFILE to the signal generator; no waveform is transferred. Frequency\n"
        "and level are read back and printed.\n") +
    kConnectionHelp + "Exit code 0 on success, 1 when the instrument set-up failed.\n";

int run_refresh(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const ConnectionOverrides o = take_connection_args(args);
  const Configuration stored = stored_connection();
  if (args.size() > 1) throw UsageError("only one parameter file can be given");
  CliReporterScope reporterScope;
  State& s = state();
  s.dontSetSampleRate = 0;
  SetSampleRate();
  if (!args.empty() && !LoadParameters(args[0])) return kExitFailure;
  use_connection(stored, o);
  HwResult r = RefreshSettings();
  if (r.status != 0) return kExitFailure;
  if (!quiet_mode())
    std::printf("Frequency %.12g Hz, Amplitude %.12g dBm\n", s.sigGenSettings.Frequency, s.sigGenSettings.Amplitude);
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"refresh", "send the playback settings to the signal generator (no waveform)", kUsage,
                    &run_refresh});

}  // namespace tarvio::cli
