// Engineering units for the axes of the analysis displays: frequency in Hz to
// GHz, time in S to pS and voltage in V to pV, each chosen so that the
// largest value on the axis reads at least 1.
#pragma once

#include <string>

namespace tarvio {

// A unit and the conversion from the base unit (Hz, seconds, volts):
// shown value = base value * mul / div. Both factors are whole powers of ten,
// held apart so that a value on a unit boundary (1 MHz, 1 mS) converts to
// exactly 1.
struct AxisUnit {
  std::string name;
  double mul = 1;
  double div = 1;
  double operator()(double base) const { return base * mul / div; }
};

// "Hz", "kHz", "MHz" or "GHz": the largest unit in which `hz` is at least 1
// ("Hz" for smaller values).
AxisUnit frequency_unit(double hz);

// "S", "mS", "uS", "nS" or "pS": the coarsest unit in which `seconds` is at
// least 1 ("pS" for smaller values, zero included).
AxisUnit time_unit(double seconds);

// "V", "mV", "uV", "nV" or "pV", chosen like the time unit.
AxisUnit voltage_unit(double volts);

}  // namespace tarvio
