// Engineering units for the display axes.
#include "displays/units.h"

#include <array>
#include <cmath>

namespace tarvio {

namespace {

struct Step {
  const char* name;
  double mul, div;
};

// The first step of the ladder (coarsest first) in which the value reads at
// least 1; the last (finest) step when none does.
template <size_t N>
AxisUnit coarsest(double value, const std::array<Step, N>& ladder) {
  const double v = std::abs(value);
  for (const Step& s : ladder)
    if (v * s.mul / s.div >= 1) return {s.name, s.mul, s.div};
  return {ladder.back().name, ladder.back().mul, ladder.back().div};
}

}  // namespace

AxisUnit frequency_unit(double hz) {
  static constexpr std::array<Step, 4> kLadder{{{"GHz", 1, 1e9}, {"MHz", 1, 1e6}, {"kHz", 1, 1e3}, {"Hz", 1, 1}}};
  return coarsest(hz, kLadder);
}

AxisUnit time_unit(double seconds) {
  static constexpr std::array<Step, 5> kLadder{
      {{"S", 1, 1}, {"mS", 1e3, 1}, {"uS", 1e6, 1}, {"nS", 1e9, 1}, {"pS", 1e12, 1}}};
  return coarsest(seconds, kLadder);
}

AxisUnit voltage_unit(double volts) {
  static constexpr std::array<Step, 5> kLadder{
      {{"V", 1, 1}, {"mV", 1e3, 1}, {"uV", 1e6, 1}, {"nV", 1e9, 1}, {"pV", 1e12, 1}}};
  return coarsest(volts, kLadder);
}

}  // namespace tarvio
