// tarvio-cli refresh: sends the playback settings (no waveform) to the
// signal generator, from the defaults or a parameter file.
#include <cstdio>
#include <stdexcept>

#include "control/param_set_ops.h"
#include "control/parameter_files.h"
#include "hosts/cli/cli_command.h"
#include "instrument/connection_overrides.h"
#include "instrument/download_sequence.h"
#include "records/state.h"

namespace tarvio::cli {

namespace {

const char* kUsage =
    "usage: tarvio-cli refresh [PARAMFILE] [--address HOST[:PORT] | --serial DEVICE] [--type TCPIP|RS232|GPIB]\n"
    "                          [--timeout S]\n"
    "\n"
    "Sends the playback settings (carrier, level, sample clock, filter, scaling, attenuation,\n"
    "level control, markers, reference; the waveform title selects the waveform) of the\n"
    "defaults or of PARAMFILE to the signal generator; no waveform is transferred. Frequency\n"
    "and level are read back and printed. Connection options as for tarvio-cli ping.\n"
    "Exit code 0 on success, 1 when the instrument set-up failed.\n";

int run_refresh(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  ConnectionOverrides o;
  try {
    o = take_connection_options(args);
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  if (args.size() > 1) throw UsageError("only one parameter file can be given");
  State& s = state();
  s.dontSetSampleRate = 0;
  SetSampleRate();
  if (!args.empty() && !LoadParameters(args[0])) return kExitFailure;
  try {
    apply_connection_overrides(o, s.configuration, transport_options());
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  HwResult r = RefreshSettings();
  if (r.status != 0) return kExitFailure;
  std::printf("Frequency %.12g Hz, Amplitude %.12g dBm\n", s.sigGenSettings.Frequency, s.sigGenSettings.Amplitude);
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"refresh", "send the playback settings to the signal generator (no waveform)", kUsage,
                    &run_refresh});

}  // namespace tarvio::cli
