// The number-to-text rule and entry-field numbers.
#include "runtime/number_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tarvio {

std::string Num2Str(double x) {
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

std::optional<double> parse_entry_number(const std::string& text) {
  const char* s = text.c_str();
  while (*s == ' ' || *s == '\t' || *s == '\r' || *s == '\n') ++s;
  if (*s == '\0') return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(s, &end);
  if (end == s || std::isnan(v)) return std::nullopt;
  while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') ++end;
  if (*end != '\0') return std::nullopt;
  return v;
}

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

}  // namespace tarvio
