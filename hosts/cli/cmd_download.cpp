// tarvio-cli download: calculates a waveform (as tarvio-cli calc does), or
// takes one from a file made earlier, and runs the download sequence:
// transfer to the signal generator, playback set-up, result. Shows the size
// and an estimated transfer time first, and a progress line on a terminal
// while the transfer runs.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hosts/cli/cli_command.h"
#include "hosts/cli/cli_reporter.h"
#include "hosts/cli/connection_settings.h"
#include "hosts/cli/download_file.h"
#include "instrument/connection_overrides.h"
#include "instrument/download_sequence.h"
#include "instrument/packet_file.h"
#include "records/state.h"
#include "runtime/report.h"

namespace tarvio::cli {

namespace {

const std::string kUsage =
    std::string(
        "usage: tarvio-cli download [PARAMFILE] [calc options] [connection options] [--yes]\n"
        "       tarvio-cli download --file FILE [PARAMFILE] [--sig FIELD=VALUE ...] [--memory M]\n"
        "                           [connection options] [--yes]\n"
        "\n"
        "Calculates the waveform of the defaults or PARAMFILE, changed by the calc options (see\n"
        "tarvio-cli calc --help), and downloads it into the signal generator under\n"
        "SigGenSettings.Title, then sets the instrument up to play it.\n"
        "  --file FILE  send a waveform made earlier as it is, without recalculating: a waveform\n"
        "               export file, a MAT file written by calc --dump or --save-wave, or a SigMF\n"
        "               recording (BASE, BASE.sigmf-meta or BASE.sigmf-data). Its sample rate is\n"
        "               the playback clock unless --sig SamplingRate= says otherwise; its markers\n"
        "               are sent where it has them, else marker 2 over the whole waveform; the\n"
        "               other playback settings are those of PARAMFILE or the defaults\n"
        "  --yes        answer questions (the RS-232 duration) with OK; without it a question is\n"
        "               asked on the terminal, or takes its default button\n") +
    kConnectionHelp + "Exit code 0 when the waveform was downloaded and set up, 1 otherwise.\n";

std::string duration_text(double s) {
  char b[64];
  if (!(s < 1e9)) return "unknown";
  if (s < 1)
    std::snprintf(b, sizeof b, "under a second");
  else if (s < 120)
    std::snprintf(b, sizeof b, "about %.0f s", s);
  else
    std::snprintf(b, sizeof b, "about %.1f min", s / 60);
  return b;
}

// The connection as the estimate line names it.
std::string connection_text(const Configuration& c) {
  std::string type = c.type;
  for (char& ch : type) ch = char(std::toupper(static_cast<unsigned char>(ch)));
  if (type == "TCPIP") return "LAN " + c.TCPIP.address;
  if (type == "RS232") {
    const std::string& dev = transport_options().serial_device;
    return "RS-232" + (dev.empty() ? " port " + std::to_string(int(c.RS232.port)) : " " + dev) + " at " +
           std::to_string(int(c.RS232.baudrate)) + " baud, " + c.RS232.handshake;
  }
  return c.type + " " + std::to_string(int(c.GPIB.board)) + ":" + std::to_string(int(c.GPIB.primary));
}

// Takes "--file FILE" (or --file=FILE) out of the arguments.
std::string take_file(std::vector<std::string>& args) {
  std::string file;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--file") {
      if (i + 1 >= args.size()) throw UsageError("--file needs a value");
      file = args[i + 1];
      args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 2);
      --i;
    } else if (args[i].rfind("--file=", 0) == 0) {
      file = args[i].substr(7);
      args.erase(args.begin() + std::ptrdiff_t(i));
      --i;
    }
  }
  return file;
}

int run_download(const std::vector<std::string>& argv) {
  std::vector<std::string> args;
  bool yes = false;
  for (const auto& a : argv) {
    if (a == "--yes")
      yes = true;
    else
      args.push_back(a);
  }
  const ConnectionOverrides o = take_connection_args(args);
  const std::string file = take_file(args);
  Configuration connection = stored_connection();
  // The waveform's packet file must outlive the calc command (which removes
  // a file of its own choosing): name one here and remove it after.
  const std::string packets =
      (std::filesystem::temp_directory_path() / ("tarvio-download-" + std::to_string(::getpid()) + ".bin")).string();
  struct RemovePackets {
    std::string path;
    ~RemovePackets() { packet_file::discard(path); }
  } remove_packets{packets};

  if (!file.empty()) {
    if (int rc = prepare_stored_download(file, args, packets, connection.BBGtype); rc != kExitOk) return rc;
  } else {
    const CliCommand* calc = find_command("calc");
    if (!calc) throw std::runtime_error("the calc command is not part of this build");
    // The stored memory option first, so that a --memory of the command line wins.
    args.insert(args.begin(), {"--memory", connection.BBGtype, "--set", "multiFrame.tmpFileName='" + packets + "'"});
    if (int rc = calc->run(args); rc != kExitOk) return rc;
  }

  State& s = state();
  connection.BBGtype = s.configuration.BBGtype;
  use_connection(connection, o);
  CliReporterScope reporterScope(yes);

  const bool from_file = s.appInfo.ApplicationFunction == "dot11g_GUI_c";
  const double samples = from_file ? s.parameters.multiFrame.pktSize * s.parameters.numberOfPackets
                                   : static_cast<double>(s.waveform.size());
  const bool markers = s.markers.size() > 0;
  if (!quiet_mode())
    std::fprintf(stderr, "Waveform %s: %.0f samples, %.2f MB to send over %s, estimated transfer time %s\n",
                 s.sigGenSettings.Title.c_str(), samples, transfer_bytes(samples, markers) / 1e6,
                 connection_text(s.configuration).c_str(),
                 duration_text(estimated_transfer_seconds(s.configuration, samples, markers)).c_str());
  HwResult r = DownloadSequence();
  if (auto* cr = dynamic_cast<CliReporter*>(&reporter())) cr->end_line();
  if (r.status != 0 && connection_text(s.configuration).rfind("RS-232", 0) == 0 &&
      handshake_text(s.configuration.RS232.handshake) == "Xon/Xoff" && r.response.find("Xon/Xoff") != std::string::npos)
    std::fprintf(stderr,
                 "[hint] binary waveform data cannot pass Xon/Xoff flow control: use --handshake rts (RTS/CTS "
                 "pacing on the instrument too) or --handshake none, or store it with tarvio-cli config --set "
                 "RS232.handshake=RTS/CTS --save\n");
  return r.status == 0 ? kExitOk : kExitFailure;
}

}  // namespace

TARVIO_CLI_COMMAND({"download",
                    "calculate a waveform, or take one from a file, and download it into the signal generator", kUsage,
                    &run_download});

}  // namespace tarvio::cli
