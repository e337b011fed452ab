// Number-to-text conversion for instrument command parameters.
#include "instrument/number_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvio {

std::string command_number(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
  char b[512];
  if (x == std::floor(x)) {
    std::snprintf(b, sizeof b, "%.0f", x);
    return x == 0 ? "0" : b;  // no "-0"
  }
  int digits = std::min(12, std::max(1, static_cast<int>(std::ceil(std::log10(std::fabs(x)))) + 4));
  std::snprintf(b, sizeof b, "%.*g", digits, x);
  std::string s = b;
  s.erase(0, s.find_first_not_of(' '));
  return s;
}

}  // namespace tarvio
