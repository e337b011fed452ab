// Checking stored values against their fields' rules.
#include "records/field_catalog.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "runtime/number_text.h"

namespace tarvio {

namespace {

bool same_text(const std::string& a, const std::string& b, bool any_case) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (any_case ? std::tolower(x) != std::tolower(y) : x != y) return false;
  }
  return true;
}

// A choice matches within the tolerance the generators use for code rates
// (2/3 is stored inexactly).
bool is_choice(double x, double c) { return std::fabs(x - c) <= 1e-6 * std::max(1.0, std::fabs(c)); }

}  // namespace

std::optional<std::string> rule_violation(const FieldRule& rule, double x) {
  if (!rule.numeric) return std::nullopt;
  if (std::isnan(x)) return "it is not a number";
  if (rule.has_off && x == rule.off) return std::nullopt;
  if (rule.n_choices > 0) {
    for (size_t i = 0; i < rule.n_choices; ++i)
      if (is_choice(x, rule.choices[i])) return std::nullopt;
    return "it is not one of the listed values";
  }
  if (!std::isfinite(x)) return "it is not finite";
  if (x < rule.lo || (rule.lo_open && x == rule.lo)) return "it is below the range";
  if (x > rule.hi) return "it is above the range";
  if (rule.step > 0 && x / rule.step != std::floor(x / rule.step))
    return rule.step == 1 ? "it is not a whole number" : "it is not a multiple of " + Num2Str(rule.step);
  return std::nullopt;
}

std::optional<std::string> rule_violation(const FieldRule& rule, const std::string& text) {
  if (!rule.texts) return std::nullopt;
  std::string list = rule.texts;
  size_t start = 0;
  while (true) {
    const size_t bar = list.find('|', start);
    if (same_text(text, list.substr(start, bar == std::string::npos ? std::string::npos : bar - start),
                  rule.texts_any_case))
      return std::nullopt;
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return "it is not one of the listed texts";
}

std::string refusal_text(const std::string& shown, const std::string& value_text, const std::string& reason,
                         const FieldInfo& info) {
  std::string t = shown + " = " + value_text + " is not allowed (" + reason + ")";
  if (*info.values) t += std::string("; it takes ") + info.values;
  return t;
}

namespace field_catalog_detail {

void check_number(double x, const FieldInfo& info, const std::string& shown) {
  if (auto why = rule_violation(info.rule, x)) throw FieldError(refusal_text(shown, Num2Str(x), *why, info));
}

void check_row(const std::vector<double>& row, const FieldInfo& info, const std::string& shown) {
  if (info.rule.count > 0 && row.size() != info.rule.count)
    throw FieldError(shown + " holds " + std::to_string(row.size()) + " values, not " +
                     std::to_string(info.rule.count) + (*info.values ? std::string("; it takes ") + info.values : ""));
  for (size_t k = 0; k < row.size(); ++k)
    if (auto why = rule_violation(info.rule, row[k]))
      throw FieldError(refusal_text(shown + "(" + std::to_string(k + 1) + ")", Num2Str(row[k]), *why, info));
}

void check_text(const std::string& text, const FieldInfo& info, const std::string& shown) {
  if (auto why = rule_violation(info.rule, text)) throw FieldError(refusal_text(shown, "\"" + text + "\"", *why, info));
}

}  // namespace field_catalog_detail

}  // namespace tarvio
