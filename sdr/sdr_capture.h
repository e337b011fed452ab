// Records from a device into a SigMF recording: BASE.sigmf-data holds the
// samples as cf32_le, BASE.sigmf-meta the sample rate, the capture's
// frequency and time, and the device's driver, hardware and gain.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

#include "sdr/sdr_device.h"

namespace tarvio::sdr {

struct CaptureOptions {
  double frequency = 0;  // Hz
  double rate = 0;       // samples/s, must be one the device runs
  std::optional<double> gain;  // dB; unset keeps the device's
  double seconds = 0;
  std::string antenna;
  size_t channel = 0;
  double timeout_s = 1.0;
};

struct CaptureResult {
  size_t samples = 0;
  size_t overflows = 0;
  bool stopped = false;  // ended early by the stop flag; the files hold what came
  std::string format;
};

// Checks the settings against the device's ranges (SdrError out_of_range
// with the range, before streaming), records, and writes both files (never
// half-written ones). Throws SdrError or std::runtime_error for the files.
CaptureResult capture(Device& dev, const CaptureOptions& o, const std::string& base, const std::atomic<bool>& stop);

// BASE of NAME.sigmf-meta, NAME.sigmf-data or NAME.
std::string sigmf_base(const std::string& name);

}  // namespace tarvio::sdr
