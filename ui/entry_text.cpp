// Hexadecimal and fixed-decimal texts of the entry fields.
#include "ui/entry_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvio::ui {

std::optional<double> parse_hex(const std::string& text) {
  const size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return std::nullopt;
  const size_t e = text.find_last_not_of(" \t");
  const double cap = std::ldexp(1.0, 53);
  double v = 0;
  for (size_t i = b; i <= e; ++i) {
    const char c = text[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return std::nullopt;
    v = std::min(cap, v * 16 + d);
  }
  return v;
}

std::string hex_text(double value) {
  if (!(value >= 0)) value = 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(std::floor(value)));
  return buf;
}

std::string fixed_text(double value, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  return buf;
}

}  // namespace tarvio::ui
