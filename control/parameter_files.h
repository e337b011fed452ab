// Parameter files and the other settings files: a saved generation set-up
// (variables fileParameters, filename, sigGenParameters, tagged with the
// parameter-set format), the I/O configuration file "rfIOConfig.mat" and the
// unattended number list "WLAN_varsB.txt". Files are MAT containers
// (runtime/matfile.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/impairments.h"
#include "records/records.h"

namespace tarvio {

// Writes the three variables of a parameter file under `filename`, replacing
// any file of that name. A failure is shown as "Error Saving " + filename
// with the error's text; returns false then.
// When the impairments differ from their defaults (all off) they are the
// fourth variable, "Impairments"; the three-record form saves the
// program-wide `Impairments`.
bool saveParameters(const std::string& filename, const Parameters& parameters, const SigGenSettings& sigGen);
bool saveParameters(const std::string& filename, const Parameters& parameters, const SigGenSettings& sigGen,
                    const Impairments& impairments);

// The parameter file's variable that holds the impairments.
inline constexpr char kImpairmentsVariable[] = "Impairments";

// Loads a parameter file into the program-wide `parameters` and
// `SigGenSettings`. The file is accepted only when its
// fileParameters.ParameterFileFormat_ID equals the running parameter set's;
// a SigGenSettings saved without ModAttenAuto gets ModAttenAuto = 0. The
// loaded parameters are checked against what the generators can make, and the
// file's "Impairments" (all off when it has none) against their fields' rules
// (control/parameter_checks.h); they are restored as saved, derived fields
// included, which the window's redraw or the host recomputes. Every
// variable is checked before anything is replaced: a refused or unreadable
// file changes nothing. The running program's packet temporary file name
// (multiFrame.tmpFileName) is kept. After a load whose parameters are not marked
// unattended the window is redrawn (through the window hook) with the loaded
// sample rate kept, and dontSetSampleRate ends at 0. Failures are shown as
// "Error Loading File"; returns true when the file was loaded.
bool LoadParameters(const std::string& filename);

// The I/O configuration file in the working folder.
inline constexpr char kIoConfigFile[] = "rfIOConfig.mat";
// Writes "rfIOConfig.mat" with the one variable fileParameters. Throws
// std::runtime_error when the file cannot be written.
void SaveConfig(const Configuration& fileParameters);
// The stored configuration with LastParameterFilename emptied, or nothing
// when the file is missing, unreadable or holds no usable fileParameters.
std::optional<Configuration> loadConfig();

// The numbers of "WLAN_varsB.txt" in the working folder, in order. A failure
// is shown as "Error Loading WLAN_varsB.txt" and gives an empty list.
std::vector<double> LoadVars();

}  // namespace tarvio
