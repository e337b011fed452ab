// The main window's calculate command as the hosts call it: the calculation,
// then the time stamp and parameter copy that the stale-waveform guard
// compares before a download or a display.
#pragma once

#include <vector>

namespace tarvio {

// Runs Calculate(); when it completed, stores appInfo.LastCalcTimeStamp (the
// local clock as [year month day hour minute seconds]) and
// appInfo.LastCaluclatedParameterSet (a copy of parameters). A calculation
// stopped by a check leaves both as they were, so the guard does not take
// the packet file for a finished waveform. Returns Calculate()'s result.
bool CalculateCommand();

// The local clock as [year month day hour minute seconds].
std::vector<double> clock_row();

}  // namespace tarvio
