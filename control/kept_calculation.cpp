// Keeping and restoring the previous calculation's outcome.
#include "control/kept_calculation.h"

#include <filesystem>
#include <stdexcept>

#include "instrument/packet_file.h"
#include "records/state.h"

namespace tarvio {

namespace fs = std::filesystem;

namespace {

std::string kept(const std::string& path) { return path + ".kept"; }

void move_file(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (ec) throw std::runtime_error("cannot move " + from + " to " + to + ": " + ec.message());
}

}  // namespace

KeptCalculation::KeptCalculation() {
  State& s = state();
  const Parameters& p = s.parameters;
  path_ = p.multiFrame.tmpFileName;
  waveform_ = s.waveform;
  markers_ = s.markers;
  log_ = last_packet_log();
  pktSize_ = p.multiFrame.pktSize;
  max_ = p.multiFrame.max;
  fcs_ = p.MACfcs.Contents;
  calculated_ = s.calculated;
  std::error_code ec;
  had_file_ = !path_.empty() && fs::exists(path_, ec);
  if (!had_file_) return;
  move_file(path_, kept(path_));
  const std::string marks = packet_file::marker_path(path_);
  if (fs::exists(marks, ec)) {
    try {
      move_file(marks, kept(marks));
    } catch (...) {
      move_file(kept(path_), path_);
      throw;
    }
  }
}

KeptCalculation::~KeptCalculation() {
  if (restored_ || !had_file_) return;
  std::error_code ec;
  fs::remove(kept(path_), ec);
  fs::remove(kept(packet_file::marker_path(path_)), ec);
}

void KeptCalculation::restore() {
  if (restored_) return;
  restored_ = true;
  State& s = state();
  Parameters& p = s.parameters;
  s.waveform = std::move(waveform_);
  s.markers = std::move(markers_);
  last_packet_log() = std::move(log_);
  p.multiFrame.pktSize = pktSize_;
  p.multiFrame.max = max_;
  p.MACfcs.Contents = std::move(fcs_);
  s.calculated = std::move(calculated_);
  if (path_.empty()) return;
  const std::string marks = packet_file::marker_path(path_);
  if (!had_file_) {
    packet_file::clear(path_);
    return;
  }
  std::error_code ec;
  fs::remove(path_, ec);
  fs::remove(marks, ec);
  move_file(kept(path_), path_);
  if (fs::exists(kept(marks), ec)) move_file(kept(marks), marks);
}

}  // namespace tarvio
