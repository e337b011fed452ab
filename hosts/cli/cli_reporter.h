// How tarvio-cli shows what the library reports: dialogs as one line on
// standard error (the texts written for a window's dialogs get a command-line
// line of their own), questions answered by --yes, on the terminal or by
// their default button, and the status line as a progress line with packets,
// samples, elapsed time and time left, on a terminal only. --quiet leaves
// errors alone.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/report.h"

namespace tarvio::cli {

// --quiet: only errors are written. Warnings are held back and written
// only when the command fails (a warning may be what stopped it).
bool& quiet_mode();
void write_held_warnings();

// What a progress line says about one long piece of work.
struct ProgressState {
  std::string task;                  // "Calculating", "Transferring", "Writing FILE"
  double done = 0, total = 0;        // the work's own measure (packets, percent or samples)
  bool percent = false;              // done and total are percent
  double packet = -1, packets = -1;  // the packet in hand and the count; -1 when not known
  double samples_done = -1, samples_total = -1;
  double elapsed_s = 0;
};

// "Calculating: packet 3 of 22, 93760 of 1031360 samples, 0:02 elapsed,
// about 0:12 left".
std::string progress_text(const ProgressState& p);

// Reads a status-line text of the library as progress: "Creating frame N
// ..." (calculation), "Transferring waveform: P% (x of y MB)" and "Writing
// samples K of N"; `packets` and `pkt_size` describe the waveform and
// `projected` its projected samples. False for any other text.
bool parse_status(const std::string& text, double packets, double pkt_size, double projected, ProgressState& out);

// The command line's text for a dialog written for a window, or the
// dialog's own text on one line.
std::string message_line(const Message& m);

class CliReporter : public Reporter {
 public:
  // yes: questions take their affirmative button. tty: standard error is a
  // terminal (progress is shown only then).
  CliReporter(bool yes, bool tty);
  ~CliReporter() override;
  void show(const Message& m) override;
  std::string ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                  const std::string& default_button) override;
  void status(const std::string& text) override;
  // Ends an open progress line.
  void end_line();

 private:
  bool yes_, tty_, open_ = false;
  std::string task_;
  std::string writing_;  // the file being written
  std::chrono::steady_clock::time_point start_{}, last_draw_{};
};

// Installs a CliReporter for its lifetime and puts the previous one back.
class CliReporterScope {
 public:
  explicit CliReporterScope(bool yes = false);
  ~CliReporterScope();
  CliReporterScope(const CliReporterScope&) = delete;
  CliReporterScope& operator=(const CliReporterScope&) = delete;

 private:
  std::shared_ptr<Reporter> previous_;
};

// One line on standard error per file written: path, size, samples and
// sample rate (samples < 0: a file without samples). Nothing with --quiet.
void report_written(const std::string& path, double samples = -1, double sample_rate = 0);

}  // namespace tarvio::cli
