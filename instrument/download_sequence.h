// The download as the Download button and the unattended entry run it:
// waveform transfer, playback set-up and the result messages; and the
// settings-only refresh.
#pragma once

#include "instrument/hw_commands.h"

namespace tarvio {

// KORPlay_c when appInfo.Platform is "c", else KORPlay, on
// SigGenSettings.Title, SigGenSettings and configuration.
HwResult PlaybackSetup();

// Transfers `waveform`/`markers` (or the packet file) under
// SigGenSettings.Title over `configuration`, then runs the playback set-up.
// Shows "Download Completed" (unless parameters.faceless), or the error text
// under "Error Occured During Waveform Download" / "Error Occured During
// Instrument Setup". Returns the final status and text.
HwResult DownloadSequence();

// Settings only: the playback set-up; a failure is shown under "Error
// Occured During Instrument Setup".
HwResult RefreshSettings();

}  // namespace tarvio
