// The analysis window's packets, selection and entry rules.
#include "ui/analysis_window.h"

#include "analyze/capture_views.h"
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "analyze/capture_views.h"
#include "displays/analysis_figures.h"
#include "files/waveform_file.h"
#include "runtime/number_text.h"
#include "runtime/report.h"

namespace tarvio::ui {

namespace {

std::vector<ControlSpec> make_table() {
  using K = ControlKind;
  return {
      {"lblFile", K::Label, "No file analysed", "file", {}},
      {"lblSampleRate", K::Label, "Sample Rate (MHz):", "file", {}},
      {"txtSampleRate", K::Edit, "", "file", {}},
      {"pbOpen", K::Button, "Open...", "file", {}},
      {"lblStatus", K::Label, "", "status", {}},
      {"pbClose", K::Button, "Close", "buttons", {}},
  };
}

std::string number(const char* f, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}

std::vector<std::string> row_of(const verify::PacketView& v) {
  std::vector<std::string> r;
  r.push_back(std::to_string(v.index + 1));
  if (!v.found) {
    r.insert(r.end(), {"", "", "", "", "", "", "fail"});
    return r;
  }
  r.push_back(v.format);
  r.push_back(v.headerOk ? number("%g", v.rateMbps) : "");
  r.push_back(v.headerOk ? std::to_string(v.octets) : "");
  r.push_back(!v.headerOk ? "" : v.fcsOk ? "good" : "wrong");
  // OFDM: rms EVM in dB as its limit; DSSS: the peak in percent.
  r.push_back(v.family == verify::Family::Ofdm ? number("%.1f dB", v.evmDb) : number("%.2f %% peak", v.evmPercent));
  // Rounded first, so that a few hertz below zero show as 0.0, not -0.0.
  r.push_back(number("%.1f", std::round(v.cfoHz / 100) / 10 + 0.0));
  r.push_back(v.pass ? "pass" : "fail");
  return r;
}

}  // namespace

AnalysisWindow::AnalysisWindow() : Window(kTag, kName, make_table()) {
  set_tooltip("txtSampleRate",
              "The capture's sample rate in MHz, for files that do not carry it (empty: the file's own)");
  on("txtSampleRate", [this] { sample_rate_entered(); });
  on("pbClose", [this] { set_visible(false); });
  on_close([this] { set_visible(false); });
}

const std::vector<std::string>& AnalysisWindow::columns() {
  static const std::vector<std::string> c = {"Packet", "Format", "Rate (Mbit/s)", "Length (octets)",
                                             "FCS",    "EVM",    "CFO (kHz)",     "Result"};
  return c;
}

verify::FileViews AnalysisWindow::check_file(const std::string& path, double sample_rate) {
  return analyze::capture_views(path, sample_rate, 2);
}

void AnalysisWindow::sample_rate_entered() {
  const std::string text = at("txtSampleRate").text;
  const auto restore = [&] { set_text("txtSampleRate", sampleRate_ > 0 ? number("%.15g", sampleRate_ / 1e6) : ""); };
  if (text.find_first_not_of(" \t") == std::string::npos) {
    sampleRate_ = 0;
    set_text("txtSampleRate", "");
    return;
  }
  const std::optional<double> mhz = parse_entry_number(text);
  const std::string why = mhz && std::isfinite(*mhz) ? capture_rate_problem(*mhz * 1e6) : "not a number";
  if (!why.empty()) {
    restore();
    reporter().show(
        {MessageKind::Error, "Sample Rate",
         "The sample rate '" + text + "' MHz is " + why + ". Enter it in MHz, or leave it empty for the file's own."});
    return;
  }
  sampleRate_ = *mhz * 1e6;
  restore();
}

void AnalysisWindow::show_file(const std::string& path, verify::FileViews views) {
  views_ = std::move(views);
  rows_.clear();
  size_t passed = 0;
  for (const verify::PacketView& v : views_.packets) {
    rows_.push_back(row_of(v));
    passed += v.pass ? 1 : 0;
  }
  selected_.reset();
  if (!rows_.empty()) {
    selected_ = 0;
    selectedView_ = views_.view(0);
  }
  set_text("lblFile", views_.title.empty() ? std::filesystem::path(path).filename().string() : views_.title);
  set_text("lblStatus", rows_.empty()
                            ? (views_.note.empty() ? "no packet found" : views_.note)
                            : std::to_string(rows_.size()) + (rows_.size() == 1 ? " packet, " : " packets, ") +
                                  std::to_string(passed) + " pass, " + std::to_string(rows_.size() - passed) + " fail");
  set_name(std::string(kName) + " - " + std::filesystem::path(path).filename().string());
  notify(kPacketsTag);
  notify(kSelectionTag);
  set_visible(true);
}

void AnalysisWindow::show_failure(const std::string& path, const std::string& why) {
  views_ = {};
  rows_.clear();
  selected_.reset();
  set_text("lblFile", std::filesystem::path(path).filename().string());
  set_text("lblStatus", why);
  notify(kPacketsTag);
  notify(kSelectionTag);
}

void AnalysisWindow::select(size_t row) {
  if (row >= rows_.size())
    throw std::out_of_range("packet row " + std::to_string(row + 1) + ": the table has " +
                            std::to_string(rows_.size()) + " rows");
  if (selected_ == row) return;
  selectedView_ = views_.view(row);
  selected_ = row;
  notify(kSelectionTag);
}

const verify::PacketView* AnalysisWindow::selected_view() const { return selected_ ? &selectedView_ : nullptr; }

std::vector<Figure> AnalysisWindow::figures() const {
  const verify::PacketView* v = selected_view();
  if (!v) return {};
  const std::string title = "#" + std::to_string(v->index + 1);
  return {constellation_figure(*v, title), evm_figure(*v, title), mask_figure(*v, title)};
}

}  // namespace tarvio::ui
