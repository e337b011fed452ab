// The analysis views of every packet of a waveform file: the file read by
// the one waveform reader, checked by the verification with its points
// kept; the table's figures of every packet, and the full view of any
// packet on request. The command line's analysis plots and the desktop's
// analysis window both get their packets here.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "verify/packet_view.h"
#include "verify/verifier.h"

namespace tarvio::verify {

struct FileViews {
  std::string title;  // file name, kind, sample rate and family, for windows and pictures
  double sampleRate = 0;
  Family family = Family::Ofdm;
  std::vector<PacketView> packets;  // what the packet table shows (packet_summary)
  std::string note;                 // why there are no packets, when there are none
  // The samples the packets were received from and their checks, points
  // kept: a packet's full view is made when asked for, so that a file of
  // many packets holds its points once and no spectra it does not show.
  CVec samples;
  std::vector<PacketCheck> checks;
  // Full views made beforehand (a capture analysed burst by burst, whose
  // samples are not held whole); when not empty, view(k) is full[k].
  std::vector<PacketView> full;
  // The full view of packet k (from 0); std::out_of_range past the last.
  PacketView view(size_t k) const;
};

// The file does not carry its sample rate and none was given.
struct MissingSampleRate : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads and checks `path`. `sample_rate` > 0 replaces the file's own;
// `family` is taken from the file's parameter set, else the first the rate
// allows, unless given. Throws MissingSampleRate, or std::runtime_error
// (std::invalid_argument for a rate no receiver takes) with the reason in
// words.
FileViews file_views(const std::string& path, double sample_rate = 0, std::optional<Family> family = std::nullopt,
                     unsigned threads = 1);

}  // namespace tarvio::verify
