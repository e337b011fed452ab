// The multi-packet calculation: turns `parameters` into the packet
// temporary file, `waveform` and `markers`.
#pragma once

namespace tarvio {

// Runs the calculation on the program-wide records. Returns false when one
// of the checks stopped it (its dialog has been shown through the reporter).
bool Calculate();

}  // namespace tarvio
