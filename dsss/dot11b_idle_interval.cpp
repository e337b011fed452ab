// The idle-interval entry for the DSSS formats: microseconds to whole idle
// samples at 11 MHz times the oversampling, and the time actually used.
#include "dsss/dot11b_idle_interval.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "control/state.h"
#include "dsss/dsss_values.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

// The whole text as one number; anything else (empty, trailing characters,
// not a number) counts as 0.
double entry_number(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  if (b == e) return 0;
  const std::string t = text.substr(b, e - b);
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || std::isnan(v)) return 0;
  return v;
}

}  // namespace

std::string Dot11b_txtIdleInterval(const std::string& text, Parameters& parameters) {
  if (!(parameters.OverSampling > 0))
    throw std::invalid_argument("The oversampling must be positive to convert the idle interval, not " +
                                dsss_num(parameters.OverSampling) + ".");
  const double usec = std::clamp(entry_number(text), 0.0, 100000.0);
  const double perUsec = 11 * parameters.OverSampling;  // samples per microsecond
  parameters.idleSamples = round_half_away(usec * perUsec);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", parameters.idleSamples / perUsec);
  return buf;
}

// Without a window the entry's text is given as the first argument.
TARVIO_OP("Dot11b_txtIdleInterval", 3, 0,
          [](const Args& in, int) -> std::vector<Value> {
            const std::string text = has_arg(in, 0) && in[0].is_text() ? in[0].str() : std::string();
            Dot11b_txtIdleInterval(text, state().parameters);
            return {};
          },
          "Dot11b_txtIdleInterval(text, eventdata, handles): idle-interval entry in us to parameters.idleSamples");

}  // namespace tarvio
