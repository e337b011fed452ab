// Idle-interval entry rule of the OFDM formats and its registered operation.
#include "ofdm/dot11a_idle_interval.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "control/state.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

// The whole text as one number (blanks around it allowed); anything else
// (empty, several numbers, trailing words, NaN) counts as 0.
double entry_number(const std::string& text) {
  const char* s = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(s, &end);
  if (end == s) return 0.0;
  while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') ++end;
  if (*end != '\0' || std::isnan(v)) return 0.0;
  return v;
}

// Integers in full, other values with up to four decimals beyond the
// integer digits ("%g" form), as the entry fields show numbers.
std::string entry_text(double x) {
  char buf[64];
  if (x == std::floor(x) && std::abs(x) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", x);
  } else {
    const int digits = std::min(12, std::max(1, static_cast<int>(std::ceil(std::log10(std::abs(x)))) + 4));
    std::snprintf(buf, sizeof buf, "%.*g", digits, x);
  }
  return buf;
}

}  // namespace

std::string Dot11a_txtIdleInterval(const std::string& entry, Parameters& p) {
  if (!(p.OverSampling > 0))
    throw std::invalid_argument("Dot11a_txtIdleInterval: OverSampling must be positive, got " +
                                std::to_string(p.OverSampling));
  const double time = std::clamp(entry_number(entry), 0.0, 100000.0);
  p.idleSamples = round_half_away(time * 20.0 * p.OverSampling);
  return entry_text(p.idleSamples / (20.0 * p.OverSampling));
}

TARVIO_OP("Dot11a_txtIdleInterval", 3, 1,
          [](const Args& in, int) -> std::vector<Value> {
            const std::string text = arg_text(in, 0, "");
            return {Value::text(Dot11a_txtIdleInterval(text, state().parameters))};
          },
          "text = Dot11a_txtIdleInterval(entryText): sets parameters.idleSamples from an idle time in us and returns "
          "the time actually used");

}  // namespace tarvio
