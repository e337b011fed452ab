// The files that killed runs of this user left behind, removed when a host
// program starts: packet files in the temporary folder (they grow to the
// size of the waveform) and partial outputs there and in the working
// folder. Only files of our own name patterns whose process is gone and
// that belong to this user are touched (instrument/packet_file.h,
// runtime/output_target.h).
#pragma once

namespace tarvio {

// Returns how many files were removed.
int remove_stale_files();

}  // namespace tarvio
