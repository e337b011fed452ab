// The export command's work once the file has been chosen: the ".wfm"
// extension, the platform check and the export of the program-wide waveform,
// markers and signal generator settings. The file dialog, the replace
// question and the stale-waveform guard come with the window.
#pragma once

#include <string>

namespace tarvio {

// Returns the name written (".wfm" appended when missing), or an empty text
// when appInfo.Platform (compared in lower case) is not "c" and nothing is
// written. The export's error is thrown as std::runtime_error.
std::string ExportDataCommand(const std::string& chosen_name);

}  // namespace tarvio
