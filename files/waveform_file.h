// A waveform file read whole for analysis (verify, plot): a --dump or Save
// Wave MAT file (or a special save's `samples`), an export file, a SigMF
// recording (BASE.sigmf-meta or BASE.sigmf-data) or a raw 16-bit sample
// file. One reader for every command that looks at a stored waveform, so
// that they accept the same files and refuse them with the same words.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "records/records.h"
#include "runtime/types.h"

namespace tarvio {

// The sample rates a capture of an IEEE 802.11 waveform can have: from
// 1 MHz (below the narrowest signal's bandwidth) to 5.5 THz, 11 MHz times
// the largest OverSampling the parameter set allows (500000).
constexpr double kMinCaptureRate = 1e6;
constexpr double kMaxCaptureRate = 5.5e12;

// "" when `hz` is a usable capture rate; else why not, with the range:
// "outside 1 MHz to 5.5 THz, the sample rates of an IEEE 802.11 capture".
std::string capture_rate_problem(double hz);

struct WaveformFile {
  CVec samples;
  double sampleRate = 0;                // 0 when the file does not carry it
  std::optional<Parameters> parameters;  // the parameter set of a dump; numberOfPackets -1 when incomplete
  double carrierHz = 0;                 // SigGenSettings.Frequency where the file carries it
  std::string kind;                     // "dump", "MAT waveform", "export file", "SigMF recording", "raw file"
  // The file's own account of its length: `packets` packets of
  // `packetSamples` samples each (0 when it gives none). A file holding
  // fewer samples than that was cut.
  size_t packets = 0, packetSamples = 0;
};

// Reads `path` whole. The kind follows the name (.mat, .sigmf-meta,
// .sigmf-data, .sigmf) and else the first bytes (an export file's magic;
// anything else is a raw file). Throws std::runtime_error naming the file
// and what is wrong: unreadable, no waveform variable, a matrix that is
// not a row, column or N x 2 I/Q pair, a `sampleRate` or file rate that is
// not a usable capture rate, a SigMF type other than cf32_le, a raw file
// whose length is not a whole number of 4-byte samples.
WaveformFile read_waveform_file(const std::string& path);

}  // namespace tarvio
