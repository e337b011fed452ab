// Waveform data files in the MAT format: the Save Wave file (samplePoints,
// sampleRate, wave), the special save in its three forms, and the developer
// hook exportVector. The dialogs that pick the file name and the format come
// from the window; these take the chosen name and answer.
#pragma once

#include <string>

#include "runtime/types.h"

namespace tarvio {

// Writes `samplePoints` (N x 2: I, Q), `sampleRate` and `wave` (the complex
// row). Throws std::runtime_error naming the file when it cannot be written.
void SaveWaveFile(const std::string& path, const CVec& wave, double sample_rate);

// The Save Wave command's writing: the program-wide waveform and
// SigGenSettings.SamplingRate. Any error shows a modal error box titled
// "Error Saving " + path with the error's text; returns whether the file
// was written.
bool SaveWaveCommand(const std::string& path);

// The special save with the format answer "ASCII" (variable `samples`,
// N x 2 real: I, Q), "MAT" (`samples`, the complex column) or "Brisca"
// (raw 16-bit file); "Cancel" or any other answer writes nothing. Errors
// show an error box whose text begins "Error Saving " + file name. Returns
// whether a file was written.
bool SpecialSave(const std::string& filename, const std::string& answer);

// exportVector: writes `parameters`, `waveform` and `markers` to the file
// "new_" + data-rate text (e.g. "new_5.5", "new_54") in `folder` (the
// current folder when empty). Returns the file written.
std::string exportVector(const std::string& folder = "");

}  // namespace tarvio
