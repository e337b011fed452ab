// tarvio-cli's reporter: dialogs, questions and progress on a terminal.
#include "hosts/cli/cli_reporter.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "records/state.h"
#include "runtime/number_text.h"

namespace tarvio::cli {

namespace {

std::string clock_text(double s) {
  if (!(s >= 0) || !std::isfinite(s)) return "?";
  const long t = std::lround(s);
  char b[32];
  if (t >= 3600)
    std::snprintf(b, sizeof b, "%ld:%02ld:%02ld", t / 3600, t / 60 % 60, t % 60);
  else
    std::snprintf(b, sizeof b, "%ld:%02ld", t / 60, t % 60);
  return b;
}

std::string count_text(double x) {
  char b[32];
  std::snprintf(b, sizeof b, "%.0f", x);
  return b;
}

// A dialog's text on one line: line breaks and the blanks around them
// become one blank.
std::string one_line(const std::string& text) {
  std::string out;
  bool blank = false;
  for (char c : text) {
    if (c == '\n' || c == '\r' || c == ' ' || c == '\t') {
      blank = true;
      continue;
    }
    if (blank && !out.empty()) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

double memory_samples(const std::string& bbg) {
  if (bbg == "MEM-B") return 32000000;
  if (bbg == "MEM-C") return 64000000;
  return 8000000;
}

const char* kind_prefix(MessageKind k) {
  switch (k) {
    case MessageKind::Error:
      return "[error] ";
    case MessageKind::Warning:
      return "[warning] ";
    default:
      return "";
  }
}

}  // namespace

bool& quiet_mode() {
  static bool quiet = false;
  return quiet;
}

namespace {
std::vector<std::string>& held_warnings() {
  static std::vector<std::string> held;
  return held;
}
}  // namespace

void write_held_warnings() {
  for (const std::string& w : held_warnings()) std::fprintf(stderr, "%s\n", w.c_str());
  held_warnings().clear();
}

std::string progress_text(const ProgressState& p) {
  std::string t = p.task + ":";
  std::string sep = " ";
  if (p.percent) t += sep + count_text(p.done) + "%", sep = ", ";
  if (p.packet >= 0 && p.packets > 0)
    t += sep + "packet " + count_text(p.packet) + " of " + count_text(p.packets), sep = ", ";
  if (p.samples_total >= 0)
    t += sep + count_text(std::max(0.0, p.samples_done)) + " of " + count_text(p.samples_total) + " samples";
  t += ", " + clock_text(p.elapsed_s) + " elapsed";
  if (p.done > 0 && p.total > p.done) t += ", about " + clock_text(p.elapsed_s * (p.total - p.done) / p.done) + " left";
  return t;
}

bool parse_status(const std::string& text, double packets, double pkt_size, double projected, ProgressState& out) {
  double a = 0, b = 0, c = 0;
  out = ProgressState{};
  // The packet that a sample count falls in.
  auto packet_of = [&](double samples) {
    if (!(pkt_size > 0) || !(packets > 1)) return;
    out.packets = packets;
    out.packet = std::min(packets, std::floor(samples / pkt_size) + 1);
  };
  if (std::sscanf(text.c_str(), "Creating frame %lf", &a) == 1) {
    out.task = "Calculating";
    out.total = std::max(packets, a);
    out.done = a - 1;
    out.packet = a;
    out.packets = out.total;
    out.samples_total = projected;
    out.samples_done = packets > 0 ? projected * out.done / packets : -1;
    return true;
  }
  if (std::sscanf(text.c_str(), "Transferring waveform: %lf%% (%lf of %lf MB)", &a, &b, &c) == 3) {
    out.task = "Transferring";
    out.percent = true;
    out.done = a;
    out.total = 100;
    if (pkt_size > 0 && packets > 0) {
      out.samples_total = pkt_size * packets;
      out.samples_done = std::floor(out.samples_total * (c > 0 ? std::min(1.0, b / c) : 0));
      packet_of(out.samples_done);
    }
    return true;
  }
  if (std::sscanf(text.c_str(), "Writing samples %lf of %lf", &a, &b) == 2) {
    out.task = "Writing";
    out.done = out.samples_done = a;
    out.total = out.samples_total = b;
    packet_of(std::max(0.0, a - 1));
    return true;
  }
  return false;
}

std::string message_line(const Message& m) {
  const Parameters& p = state().parameters;
  if (m.title == "Calculation Warning!")
    return "Calculation Warning!: the waveform has " + count_text(p.ProjectedLength) + " samples (" +
           count_text(p.numberOfPackets) + " packets); calculating it may take a while";
  if (m.title == "Size Error!") {
    const std::string& bbg = state().configuration.BBGtype;
    return "Size Error!: the waveform's " + count_text(p.ProjectedLength) + " samples (" +
           count_text(p.numberOfPackets) + " packets) do not fit the signal generator's sample memory of " +
           count_text(memory_samples(bbg)) + " samples (" + (bbg.empty() ? std::string("MEM-A") : bbg) +
           "; --memory MEM-A|MEM-B|MEM-C names the memory option)";
  }
  return m.title + ": " + one_line(m.text);
}

CliReporter::CliReporter(bool yes, bool tty) : yes_(yes), tty_(tty) {}

CliReporter::~CliReporter() { end_line(); }

void CliReporter::show(const Message& m) {
  if (quiet_mode() && m.kind != MessageKind::Error) {
    if (m.kind == MessageKind::Warning) held_warnings().push_back(kind_prefix(m.kind) + message_line(m));
    return;
  }
  end_line();
  std::fprintf(stderr, "%s%s\n", kind_prefix(m.kind), message_line(m).c_str());
  std::fflush(stderr);
}

std::string CliReporter::ask(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                             const std::string& def) {
  end_line();
  const std::string q = title + ": " + one_line(text);
  if (yes_) {
    std::string choice = buttons.empty() ? def : buttons.front();
    for (const auto& b : buttons)
      if (b == "OK" || b == "Yes") choice = b;
    if (!quiet_mode()) std::fprintf(stderr, "%s -> %s (--yes)\n", q.c_str(), choice.c_str());
    return choice;
  }
  if (isatty(0) == 1) {
    std::string list;
    for (const auto& b : buttons) list += (list.empty() ? "" : "/") + b;
    for (;;) {
      std::fprintf(stderr, "%s [%s] (Enter: %s) ", q.c_str(), list.c_str(), def.c_str());
      std::fflush(stderr);
      std::string line;
      if (!std::getline(std::cin, line) || line.empty()) return def;
      for (const auto& b : buttons)
        if (b == line) return b;
    }
  }
  std::fprintf(stderr, "%s -> %s (no terminal to ask; --yes answers OK)\n", q.c_str(), def.c_str());
  return def;
}

void CliReporter::status(const std::string& text) {
  if (!tty_ || quiet_mode()) return;
  if (text.empty()) return end_line();
  const Parameters& p = state().parameters;
  ProgressState ps;
  std::string line;
  const auto now = std::chrono::steady_clock::now();
  // "Writing FILE ..." names the file that the following sample counts are for.
  if (text.rfind("Writing ", 0) == 0 && text.size() > 12 && text.compare(text.size() - 4, 4, " ...") == 0)
    writing_ = text.substr(8, text.size() - 12);
  if (parse_status(text, p.numberOfPackets, p.multiFrame.pktSize, p.ProjectedLength, ps)) {
    if (ps.task == "Writing" && !writing_.empty()) ps.task += " " + writing_;
    if (ps.task != task_) {
      task_ = ps.task;
      start_ = now;
    } else if (now - last_draw_ < std::chrono::milliseconds(100) && ps.done < ps.total) {
      return;  // at most ten redraws a second
    }
    ps.elapsed_s = std::chrono::duration<double>(now - start_).count();
    line = progress_text(ps);
  } else {
    line = text;
  }
  last_draw_ = now;
  std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
  std::fflush(stderr);
  open_ = true;
}

void CliReporter::end_line() {
  task_.clear();
  if (!open_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  open_ = false;
}

CliReporterScope::CliReporterScope(bool yes) {
  previous_ = set_reporter(std::make_shared<CliReporter>(yes, isatty(2) == 1));
}

CliReporterScope::~CliReporterScope() { set_reporter(previous_); }

void report_written(const std::string& path, double samples, double sample_rate) {
  if (quiet_mode()) return;
  if (auto* r = dynamic_cast<CliReporter*>(&reporter())) r->end_line();
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  std::string line = "wrote " + path + ": " + (ec ? std::string("?") : count_text(double(size))) + " bytes";
  if (samples >= 0) line += ", " + count_text(samples) + " samples";
  if (sample_rate > 0) line += " at " + Num2Str(sample_rate) + " Hz";
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace tarvio::cli
