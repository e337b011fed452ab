// tarvio-cli play --sdr ARGS: transmits a calculated waveform, or a waveform
// file made earlier, on a software-defined radio, a burst per run of marker
// row 2, once, N times or until Ctrl-C (which stops the stream cleanly and
// ends with exit status 130).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/packet_walk.h"
#include "files/stored_waveform.h"
#include "hosts/cli/cli_args.h"
#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "hosts/cli/sdr_options.h"
#include "instrument/packet_file.h"
#include "records/state.h"
#include "runtime/cleanup.h"
#include "sdr/sdr_play.h"

namespace tarvio::cli {

namespace {

const std::string kUsage =
    "usage: tarvio-cli play --sdr ARGS [FILE | --file FILE | PARAMFILE] [calc options]\n"
    "                       --freq HZ --gain DB [--antenna A] [--channel N]\n"
    "                       [--repeat N | --loop] [--rate-tx R]\n"
    "\n"
    "Transmits the waveform on a software-defined radio: the one calculated from the defaults\n"
    "or PARAMFILE, changed by the calc options (see tarvio-cli calc --help), or a waveform file\n"
    "made earlier (FILE ending in .sigmf-meta or .sigmf-data, or any waveform file tarvio-cli\n"
    "download --file takes, given with --file).\n"
    "  --sdr ARGS     the device, as SoapySDR arguments: \"driver=NAME,serial=...\"\n"
    "                 (tarvio-cli sdr list shows the devices found)\n"
    "  --freq HZ      carrier frequency; --gain DB transmit gain (both checked against the\n"
    "                 device's ranges before anything is sent)\n"
    "  --antenna A    transmit antenna; --channel N transmit channel (default 0)\n"
    "  --repeat N     play the waveform N times (default 1); --loop plays it until Ctrl-C\n"
    "  --rate-tx R    run the device at R samples/s, the waveform resampled to it\n"
    "The samples are scaled so that the waveform's peak |I| or |Q| is full scale and sent in\n"
    "CF32 or CS16, as the device prefers; every run of marker row 2 ends with an end-of-burst\n"
    "flag (a packet without marker 2 is one burst). When the device cannot run the waveform's\n"
    "rate, the waveform is resampled to the nearest rate it runs, with a note. Underflows the\n"
    "device reports are counted.\n"
    "Exit code 0 when the waveform was played, 1 on an error (no module for the driver, device\n"
    "busy, a setting out of range, stream error, time-out, device lost), 2 for a wrong command\n"
    "line, 130 when stopped by Ctrl-C.\n";

bool is_sigmf_name(const std::string& f) {
  for (const std::string e : {".sigmf-meta", ".sigmf-data", ".sigmf"})
    if (f.size() > e.size() && f.compare(f.size() - e.size(), e.size(), e) == 0) return true;
  return false;
}

double calculated_rate() {
  const State& s = state();
  if (s.sigGenSettings.SamplingRate) return *s.sigGenSettings.SamplingRate;
  return (s.parameters.format == 1 ? 20000000.0 : 11000000.0) * s.parameters.OverSampling;
}

std::string rate_text(double r) {
  char b[64];
  std::snprintf(b, sizeof b, "%.10g MHz", r / 1e6);
  return b;
}

int run_play(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const auto sdr_args = take_value(args, "--sdr");
  if (!sdr_args) throw UsageError("--sdr ARGS is needed (tarvio-cli sdr list shows the devices)");
  const auto freq = take_value(args, "--freq");
  const auto gain = take_value(args, "--gain");
  if (!freq) throw UsageError("--freq HZ is needed");
  if (!gain) throw UsageError("--gain DB is needed");
  sdr::PlayOptions o;
  o.frequency = option_number(*freq, "--freq");
  o.gain = option_number(*gain, "--gain");
  if (auto a = take_value(args, "--antenna")) o.antenna = *a;
  if (auto c = take_value(args, "--channel")) o.channel = size_t(parse_count(*c, "--channel"));
  const auto repeat = take_value(args, "--repeat");
  const bool loop = take_flag(args, "--loop");
  if (repeat && loop) throw UsageError("--repeat and --loop exclude each other");
  if (repeat) {
    o.repeat = parse_count(*repeat, "--repeat");
    if (o.repeat < 1) throw UsageError("--repeat needs a count of 1 or more");
  }
  if (loop) o.repeat = 0;
  if (auto r = take_value(args, "--rate-tx")) {
    o.rate = option_number(*r, "--rate-tx");
    if (!(o.rate > 0)) throw UsageError("--rate-tx needs a rate above 0");
  }
  std::string file = take_value(args, "--file").value_or("");
  if (file.empty() && !args.empty() && is_sigmf_name(args[0])) {
    file = args[0];
    args.erase(args.begin());
  }

  // The packet file of the waveform, removed on every way out.
  const std::string packets =
      (std::filesystem::temp_directory_path() / ("tarvio-play-" + std::to_string(::getpid()) + ".bin")).string();
  struct RemovePackets {
    std::string path;
    ~RemovePackets() { packet_file::discard(path); }
  } remove_packets{packets};
  CleanupGuard guard(packets);
  CleanupGuard marker_guard(packet_file::marker_path(packets));

  PacketSource src;
  double rate = 0, peak = 0;
  if (!file.empty()) {
    if (!args.empty()) throw UsageError("a waveform file is played as it is: no calc options with it ('" + args[0] + "')");
    const StoredWaveform w = copy_stored_waveform(file, packets, std::numeric_limits<size_t>::max());
    if (!(w.sample_rate > 0))
      throw std::runtime_error("'" + file + "' names no sample rate; play it with tarvio-cli download --file, or "
                               "write it with its rate");
    src = {packets, w.samples, 1};
    rate = w.sample_rate;
    peak = w.peak;
  } else {
    const CliCommand* calc = find_command("calc");
    if (!calc) throw std::runtime_error("the calc command is not part of this build");
    args.insert(args.begin(), {"--set", "multiFrame.tmpFileName='" + packets + "'"});
    if (int rc = calc->run(args); rc != kExitOk) return rc;
    src = current_packets();
    rate = calculated_rate();
    peak = sdr::waveform_peak(src);
  }

  auto dev = sdr::open_device(*sdr_args);
  DeferredInterrupt interrupt;
  const sdr::PlayResult r = [&] {
    // The settings are checked first, so that the note comes before the stream.
    const sdr::PlayResult pre = sdr::prepare_tx(*dev, rate, o);
    if (!pre.note.empty()) std::fprintf(stderr, "note: %s\n", pre.note.c_str());
    if (!quiet_mode())
      std::fprintf(stderr, "Playing %zu waveform samples on %s at %s (%s)%s\n", src.total(), dev->driver().c_str(),
                   rate_text(pre.device_rate).c_str(), pre.format.c_str(), o.repeat == 0 ? ", until Ctrl-C" : "");
    return sdr::play(*dev, src, rate, peak, o, interrupt.stop_flag());
  }();
  dev.reset();  // the device is closed before the result is reported
  if (r.underflows > 0) std::fprintf(stderr, "warning: the device reported %zu underflow(s)\n", r.underflows);
  if (!quiet_mode())
    std::fprintf(stderr, "%s %zu samples, %zu burst(s), %zu complete pass(es), %zu underflow(s)\n",
                 r.stopped ? "Stopped after" : "Played", r.samples, r.bursts, r.passes, r.underflows);
  if (r.stopped) return 128 + interrupt.interrupt_signal();
  return kExitOk;
}

}  // namespace

TARVIO_CLI_COMMAND({"play", "transmit a waveform on a software-defined radio (SoapySDR)", kUsage, &run_play});

}  // namespace tarvio::cli
