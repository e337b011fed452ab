// tarvio-cli download --file: the program-wide records set up to send a
// waveform file made earlier (export file, dump or Save Wave MAT file, SigMF
// recording) as it is, without recalculating.
#pragma once

#include <string>
#include <vector>

namespace tarvio::cli {

// Copies FILE into the packet file `packets` and sets the records as a
// calculation of it would: one packet of the file's samples, its peak, its
// sample rate as the playback clock. `args` may hold one parameter file
// (the playback settings), --sig FIELD=VALUE (applied after the file's
// sample rate) and --memory; anything else is a UsageError. A waveform
// larger than the instrument's memory is refused. Returns the exit code.
int prepare_stored_download(const std::string& file, const std::vector<std::string>& args, const std::string& packets,
                            const std::string& memory);

}  // namespace tarvio::cli
