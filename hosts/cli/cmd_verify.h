// The check of a waveform by the built-in receivers, shared by
// tarvio-cli verify and calc --verify.
#pragma once

namespace tarvio::cli {

// Verifies the last calculation's packet file against the program-wide
// parameter set, prints the result (text or JSON) and returns the exit
// code: 0 only when every packet passed.
int verify_last_calculation(bool json);

}  // namespace tarvio::cli
