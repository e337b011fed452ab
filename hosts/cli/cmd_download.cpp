// tarvio-cli download: calculates a waveform (as tarvio-cli calc does) and
// runs the download sequence: transfer to the signal generator, playback
// set-up, result. Shows the size and an estimated transfer time first, and
// a progress line while the transfer runs.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hosts/cli/cli_command.h"
#include "instrument/connection_overrides.h"
#include "instrument/download_sequence.h"
#include "instrument/packet_file.h"
#include "records/state.h"
#include "runtime/report.h"

namespace tarvio::cli {

namespace {

const char* kUsage =
    "usage: tarvio-cli download [PARAMFILE] [calc options] [--address HOST[:PORT] | --serial DEVICE]\n"
    "                           [--type TCPIP|RS232|GPIB] [--timeout S] [--yes]\n"
    "\n"
    "Calculates the waveform of the defaults or PARAMFILE, changed by the calc options (see\n"
    "tarvio-cli calc --help), and downloads it into the signal generator under\n"
    "SigGenSettings.Title, then sets the instrument up to play it.\n"
    "  --address HOST[:PORT]  LAN (SCPI over a raw socket, port 5025 unless given)\n"
    "  --serial DEVICE        RS-232 on this serial device (RS232 settings of the record)\n"
    "  --type TYPE            connection kind when neither of the above says it (default GPIB)\n"
    "  --timeout S            seconds to wait for the instrument at each step (default 10)\n"
    "  --yes                  answer questions (the RS-232 duration) with OK; without it a\n"
    "                         question is asked on the terminal, or takes its default button\n"
    "Exit code 0 when the waveform was downloaded and set up, 1 otherwise.\n";

// Dialogs on standard error, questions on the terminal (or --yes, or the
// default button), the status line as a progress line.
class DownloadReporter : public Reporter {
 public:
  explicit DownloadReporter(bool yes) : yes_(yes), tty_(isatty(2) == 1) {}
  void show(const Message& m) override {
    end_line();
    std::fprintf(stderr, "%s: %s\n", m.title.c_str(), m.text.c_str());
  }
  std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                  const std::string& def) override {
    end_line();
    std::string choice = def;
    if (yes_) {
      choice = buttons.empty() ? def : buttons.front();
      for (const auto& b : buttons)
        if (b == "OK" || b == "Yes") choice = b;
      std::fprintf(stderr, "%s: %s -> %s (--yes)\n", title.c_str(), text.c_str(), choice.c_str());
      return choice;
    }
    if (isatty(0) == 1) {
      std::string list;
      for (const auto& b : buttons) list += (list.empty() ? "" : "/") + b;
      for (;;) {
        std::fprintf(stderr, "%s: %s [%s] (Enter: %s) ", title.c_str(), text.c_str(), list.c_str(), def.c_str());
        std::fflush(stderr);
        std::string line;
        if (!std::getline(std::cin, line)) break;
        if (line.empty()) break;
        for (const auto& b : buttons)
          if (b == line) return b;
      }
      return def;
    }
    std::fprintf(stderr, "%s: %s -> %s (no terminal to ask)\n", title.c_str(), text.c_str(), def.c_str());
    return choice;
  }
  void status(const std::string& text) override {
    if (text.empty()) return end_line();
    if (tty_) {
      std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
      open_ = true;
    } else {
      // Without a terminal: a line at most every second, and the last one.
      auto now = std::chrono::steady_clock::now();
      if (now - last_ < std::chrono::seconds(1) && text.find("100%") == std::string::npos) return;
      last_ = now;
      std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
  }
  void end_line() {
    if (!open_) return;
    std::fputs("\n", stderr);
    open_ = false;
  }

 private:
  bool yes_, tty_, open_ = false;
  std::chrono::steady_clock::time_point last_{};
};

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

int run_download(const std::vector<std::string>& argv) {
  std::vector<std::string> args;
  bool yes = false;
  for (const auto& a : argv) {
    if (a == "--yes")
      yes = true;
    else
      args.push_back(a);
  }
  ConnectionOverrides o;
  try {
    o = take_connection_options(args);
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  const CliCommand* calc = find_command("calc");
  if (!calc) throw std::runtime_error("the calc command is not part of this build");
  // The calculation's packet file must outlive the calc command (which
  // removes a file of its own choosing): name one here and remove it after.
  const std::string packets =
      (std::filesystem::temp_directory_path() / ("tarvio-download-" + std::to_string(::getpid()) + ".bin")).string();
  struct RemovePackets {
    std::string path;
    ~RemovePackets() { packet_file::discard(path); }
  } remove_packets{packets};
  args.insert(args.begin(), {"--set", "multiFrame.tmpFileName='" + packets + "'"});
  if (int rc = calc->run(args); rc != kExitOk) return rc;

  State& s = state();
  try {
    apply_connection_overrides(o, s.configuration, transport_options());
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  auto previous = set_reporter(std::make_shared<DownloadReporter>(yes));
  struct Restore {
    std::shared_ptr<Reporter> r;
    ~Restore() { set_reporter(r); }
  } restore{previous};

  const bool from_file = s.appInfo.ApplicationFunction == "dot11g_GUI_c";
  const double samples = from_file ? s.parameters.multiFrame.pktSize * s.parameters.numberOfPackets
                                   : static_cast<double>(s.waveform.size());
  const double bytes = transfer_bytes(samples, s.markers.size() > 0);
  std::string where = s.configuration.type == "TCPIP"   ? "LAN " + s.configuration.TCPIP.address
                      : s.configuration.type == "RS232" ? "RS-232" + (transport_options().serial_device.empty()
                                                                          ? std::string()
                                                                          : " " + transport_options().serial_device)
                                                        : s.configuration.type;
  std::fprintf(stderr, "Waveform %s: %.0f samples, %.2f MB to send over %s, estimated transfer time %s\n",
               s.sigGenSettings.Title.c_str(), samples, bytes / 1e6, where.c_str(),
               duration_text(estimated_transfer_seconds(s.configuration, bytes)).c_str());
  HwResult r = DownloadSequence();
  if (auto* d = dynamic_cast<DownloadReporter*>(&reporter())) d->end_line();
  return r.status == 0 ? kExitOk : kExitFailure;
}

}  // namespace

TARVIO_CLI_COMMAND({"download", "calculate a waveform and download it into the signal generator", kUsage,
                    &run_download});

}  // namespace tarvio::cli
