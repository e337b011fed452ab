// The calculate command: calculation plus the record of what was calculated.
#include "control/calculate_command.h"

#include <chrono>
#include <ctime>

#include "control/calculate.h"
#include "records/state.h"

namespace tarvio {

std::vector<double> clock_row() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  const double frac = std::chrono::duration<double>(now - std::chrono::system_clock::from_time_t(t)).count();
  return {double(tm.tm_year + 1900), double(tm.tm_mon + 1), double(tm.tm_mday),
          double(tm.tm_hour),        double(tm.tm_min),     tm.tm_sec + frac};
}

bool CalculateCommand() {
  if (!Calculate()) return false;
  State& s = state();
  s.appInfo.LastCalcTimeStamp = clock_row();
  s.appInfo.LastCaluclatedParameterSet = s.parameters;
  return true;
}

}  // namespace tarvio
