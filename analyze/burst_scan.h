// Finds the bursts of a capture from its power alone, a block at a time:
// a first pass gathers a histogram of the power in 1 us windows of 16
// samples at least (bounded
// memory whatever the capture's length), from which the noise floor (a low
// percentile) and the burst level (a high one) follow; a second pass marks
// the windows above a threshold between them and joins them into bursts,
// bridging dips of up to 6 us. Runs shorter than 4 us, or with fewer than
// three windows above the threshold, are noise.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "analyze/capture_source.h"

namespace tarvio::analyze {

struct CaptureBurst {
  size_t start = 0, end = 0;  // capture samples [start, end)
};

struct BurstScan {
  std::vector<CaptureBurst> bursts;
  double floorDb = 0;      // the noise floor per sample, dB of full scale (-inf: the idle parts are zeros)
  double peakDb = 0;       // the burst level per sample
  double thresholdDb = 0;  // the level a window must exceed to belong to a burst
  bool noiseOnly = false;  // nothing rises far enough above the floor
  size_t notFinite = 0;    // samples that are not numbers (read as 0)
};

// `progress` (may be empty): samples scanned so far, of size() twice over.
BurstScan scan_bursts(const CaptureSource& src, const std::function<void(size_t, size_t)>& progress = {});

// The same on samples in memory (a test, a burst already read).
BurstScan scan_bursts(const CVec& x, double sample_rate);

}  // namespace tarvio::analyze
