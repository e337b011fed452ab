// Playback set-up of the signal generator: the SCPI command list that
// selects the waveform and sets carrier, level, sample clock, filters,
// scaling, attenuation, level control, markers and reference, then (newer
// platform) reads frequency and level back into SigGenSettings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "instrument/hw_commands.h"
#include "records/records.h"

namespace tarvio {

// The command list KORPlay_c sends, in order, for the settings and whether
// the instrument is the KXQ7R2 model. Entries whose value is missing (no
// SamplingRate yet) are left out.
std::vector<std::string> korplay_c_commands(const std::string& FileName, const SigGenSettings& setting, bool isKOR);
// The eleven commands KORPlay sends; recon_filter is the older platform's
// `ReconFilter` (1 250 kHz, 2 2.5 MHz, 3 8 MHz, else through).
std::vector<std::string> korplay_commands(const std::string& FileName, const SigGenSettings& setting,
                                          std::optional<double> recon_filter);

// Newer platform. Identifies the instrument (model = second field of the
// *IDN? reply; KXQ7R2 enables the 2.1 MHz filter and the crest-factor
// command; otherwise BBfilter 1 is sent as 40 MHz and SigGenSettings.BBfilter
// becomes 2), sends the list, reads frequency and amplitude back into the
// global SigGenSettings, redraws the window when there is one, reads the
// instrument's error queue (:SYSTem:ERRor? until it answers 0) and returns
// the instrument to local. Returns the status of the last query and the text
// of the last command sent. A reply that is no number, or an identification
// without a model field, leaves the settings as they were; a read-back that
// is no number, an error in the queue, or a queue that cannot be read makes
// the status 1 with a text saying what was wrong (the errors as the
// instrument words them); a frequency or level the instrument held at its
// limit (read back as another value, queued as -222) is no failure. A
// title holding a double quote or a control character is refused (status 1)
// before anything is sent, here and in KORPlay.
HwResult KORPlay_c(const std::string& FileName, const SigGenSettings& setting, const Configuration& config);

// Older platform: the eleven commands, no identification, no read-back, no
// redraw; then the error queue as above and return to local. Returns the
// last command's status and text, or status 1 with the instrument's errors.
HwResult KORPlay(const std::string& FileName, const SigGenSettings& setting, const Configuration& config,
                 std::optional<double> recon_filter = std::nullopt);

}  // namespace tarvio
