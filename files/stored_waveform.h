// A waveform written earlier, read back for playing it again without
// recalculating: a waveform export file, a MAT file holding a waveform
// (`waveform` of a dump, `wave` of Save Wave or `samples`, with `markers`
// and `sampleRate` when it has them), or a SigMF recording (BASE.sigmf-meta
// with BASE.sigmf-data). The samples are copied into a packet file of one
// packet, so that the download sends them as it sends a calculation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tarvio {

struct StoredWaveform {
  std::string kind;           // "export file", "MAT file", "SigMF recording"
  size_t samples = 0;         // the one packet's length
  double sample_rate = 0;     // from the file; 0 when it names none
  double peak = 0;            // the value that the transfer scales to full range
  bool file_markers = false;  // markers from the file; else marker 2 over the whole waveform
};

// A waveform file holding more samples than the instrument's memory.
class WaveformTooLarge : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a SigMF recording's metadata says: the sample type, the rate and the
// bursts.
struct SigmfMeta {
  std::string type;                                   // "" when it names none
  double rate = 0;                                    // 0 when it names none
  std::string description;                            // core:description, "" when it has none
  std::vector<std::pair<uint64_t, uint64_t>> bursts;  // first sample, count
};

// Reads BASE.sigmf-meta. Throws std::runtime_error naming the file and what
// is wrong: unreadable ("PATH: is a directory", the system's reason), not
// JSON (with the line and column), or a field of the wrong kind.
SigmfMeta read_sigmf_meta(const std::string& meta_path);

// Writes the samples of `path` into `packet_path` (and its marker side file)
// as one packet. Export files keep their 16-bit sample values: the packet
// holds those integers and the peak is 32767, so that the instrument
// receives the file's values bit for bit. Other files keep their values and
// the peak is their largest |I| or |Q|. A waveform of more than max_samples
// (the instrument's memory) is refused with WaveformTooLarge before
// anything is written. Throws
// std::runtime_error naming the file and what is wrong (unknown kind,
// missing variable, damaged data, too many samples).
StoredWaveform copy_stored_waveform(const std::string& path, const std::string& packet_path, size_t max_samples);

}  // namespace tarvio
