// Hexadecimal and fixed-decimal texts of the entry fields.
#include "ui/entry_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvio::ui {


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
