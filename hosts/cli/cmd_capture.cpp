// tarvio-cli capture --sdr ARGS: records from a software-defined radio into
// a SigMF recording; --analyze then analyses it with tarvio-cli analyze.
#include <cstdio>
#include <string>
#include <vector>

#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "hosts/cli/sdr_options.h"
#include "runtime/cleanup.h"
#include "sdr/sdr_capture.h"

namespace tarvio::cli {

namespace {

const std::string kUsage =
    "usage: tarvio-cli capture --sdr ARGS --freq HZ --rate R --seconds S --out NAME.sigmf-meta\n"
    "                          [--gain DB] [--antenna A] [--channel N] [--analyze]\n"
    "\n"
    "Records S seconds at R samples/s around HZ from a software-defined radio into the SigMF\n"
    "recording NAME.sigmf-meta and NAME.sigmf-data (cf32_le), with the frequency, rate, gain,\n"
    "hardware and start time in the metadata. Frequency, rate and gain are checked against the\n"
    "device's ranges before streaming; without --gain the device's gain stays as it is.\n"
    "  --analyze  analyse the recording afterwards with tarvio-cli analyze (its report and\n"
    "             exit code; the capture's frequency is the carrier for the ppm limits)\n"
    "Exit code 0 when the recording was written (and, with --analyze, every packet passed), 1 on an\n"
    "error, 2 for a wrong command line, 130 when stopped by Ctrl-C (the files then hold what\n"
    "was recorded until then).\n";

int run_capture(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const auto sdr_args = take_value(args, "--sdr");
  const auto freq = take_value(args, "--freq");
  const auto rate = take_value(args, "--rate");
  const auto seconds = take_value(args, "--seconds");
  const auto out = take_value(args, "--out");
  if (!sdr_args) throw UsageError("--sdr ARGS is needed (tarvio-cli sdr list shows the devices)");
  if (!freq || !rate || !seconds || !out) throw UsageError("--freq, --rate, --seconds and --out are needed");
  sdr::CaptureOptions o;
  o.frequency = option_number(*freq, "--freq");
  o.rate = option_number(*rate, "--rate");
  o.seconds = option_number(*seconds, "--seconds");
  if (!(o.rate > 0)) throw UsageError("--rate needs a rate above 0");
  if (!(o.seconds > 0)) throw UsageError("--seconds needs a duration above 0");
  if (auto g = take_value(args, "--gain")) o.gain = option_number(*g, "--gain");
  if (auto a = take_value(args, "--antenna")) o.antenna = *a;
  if (auto c = take_value(args, "--channel")) o.channel = size_t(parse_count(*c, "--channel"));
  const bool analyze = take_flag(args, "--analyze");
  if (!args.empty()) throw UsageError("unexpected argument '" + args[0] + "'");

  const std::string base = sdr::sigmf_base(*out);
  auto dev = sdr::open_device(*sdr_args);
  DeferredInterrupt interrupt;
  const sdr::CaptureResult r = sdr::capture(*dev, o, base, interrupt.stop_flag());
  dev.reset();
  if (r.overflows > 0) std::fprintf(stderr, "warning: the device reported %zu overflow(s)\n", r.overflows);
  if (!quiet_mode())
    std::fprintf(stderr, "%s %zu samples into %s.sigmf-meta\n", r.stopped ? "Stopped after recording" : "Recorded",
                 r.samples, base.c_str());
  if (r.stopped) return 128 + interrupt.interrupt_signal();
  if (!analyze) return kExitOk;
  const CliCommand* analyze_cmd = find_command("analyze");
  if (!analyze_cmd) throw std::runtime_error("the analyze command is not part of this build");
  if (!quiet_mode()) std::fprintf(stderr, "Analysing the recording with tarvio-cli analyze\n");
  char carrier[64];
  std::snprintf(carrier, sizeof carrier, "%.17g", o.frequency);
  return analyze_cmd->run({base + ".sigmf-meta", "--carrier", carrier});
}

}  // namespace

TARVIO_CLI_COMMAND({"capture", "record from a software-defined radio (SoapySDR) into SigMF", kUsage, &run_capture});

}  // namespace tarvio::cli
