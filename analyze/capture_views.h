// The analysis views (packet table, constellation, EVM rows, spectrum with
// the mask, power against time) of any waveform file or capture: a MAT
// file (a dump or Save Wave file, which carries its parameter set) is
// checked by the verification as verify checks it; any other file (SigMF,
// raw, export) is analysed as a capture, burst by burst at any sample rate,
// as tarvio-cli analyze does. The command line's analysis pictures and the
// desktop's analysis window get their packets here.
#pragma once

#include <string>

#include "verify/file_views.h"

namespace tarvio::analyze {

// `sample_rate` > 0 replaces the file's own. Throws
// verify::MissingSampleRate when neither gives one, std::runtime_error with
// the reason in words otherwise.
verify::FileViews capture_views(const std::string& path, double sample_rate = 0, unsigned threads = 2);

}  // namespace tarvio::analyze
