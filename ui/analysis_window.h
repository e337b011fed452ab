// The analysis window (File > Analyze Capture...): a waveform file's
// packets as a table (number, format, rate, length, FCS, EVM, CFO,
// pass/fail) and the pictures of the packet selected (constellation, EVM
// per sub-carrier and per symbol, spectrum with the mask over it, power
// against time with the burst's edges). The window keeps the packets, the
// selection and the sample rate entry; a view draws the table and the
// figures it hands out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "displays/figure.h"
#include "ui/window.h"
#include "verify/file_views.h"

namespace tarvio::ui {

class AnalysisWindow : public Window {
 public:
  static constexpr const char* kTag = "figAnalyze";
  static constexpr const char* kName = "Analyze Capture";
  // Notified (as a tag) when the table's rows or the selection changed.
  static constexpr const char* kPacketsTag = "packets";
  static constexpr const char* kSelectionTag = "selection";

  AnalysisWindow();

  // The table's column headers.
  static const std::vector<std::string>& columns();

  // Reads and checks a waveform file for the window: the one place the
  // window gets its packets from. `sample_rate` 0: the file's own.
  static verify::FileViews check_file(const std::string& path, double sample_rate);

  // The sample rate entry (MHz): empty for the file's own, else a rate of
  // an IEEE 802.11 capture; anything else is refused with a message and
  // the last good entry comes back. 0 when empty.
  double sample_rate() const { return sampleRate_; }

  // Shows a checked file: its rows, the first packet selected, the window
  // shown.
  void show_file(const std::string& path, verify::FileViews views);
  // A file that could not be read or checked: the table emptied, the
  // reason in the status line.
  void show_failure(const std::string& path, const std::string& why);

  size_t packet_count() const { return views_.packets.size(); }
  const std::vector<std::vector<std::string>>& rows() const { return rows_; }
  bool row_passed(size_t row) const { return row < views_.packets.size() && views_.packets[row].pass; }

  // Selects the packet of table row `row` (from 0); a row the table does
  // not have throws std::out_of_range and leaves the selection.
  void select(size_t row);
  std::optional<size_t> selected() const { return selected_; }
  const verify::PacketView* selected_view() const;
  // The pictures of the packet selected: constellation, EVM, spectrum mask
  // (none when nothing is selected).
  std::vector<Figure> figures() const;

 private:
  void sample_rate_entered();
  double sampleRate_ = 0;
  verify::FileViews views_;
  std::vector<std::vector<std::string>> rows_;
  std::optional<size_t> selected_;
  verify::PacketView selectedView_;  // the full view of the packet selected
};

}  // namespace tarvio::ui
