// The description of one record field: what it means, its unit, the values
// it may take in words (with the meaning of each code), and the same values
// as a rule that a stored value is checked against. Every record's field
// list (records/records.h) gives it beside the field, so that setting a
// field by name, loading a file, `tarvio-cli fields`, docs/parameters.md and
// the window all read one description. Plain data: literal types only.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <limits>

namespace tarvio {

// The values a number, or every element of a row, may take; for a text, the
// texts it may hold. A default-constructed rule accepts anything.
struct FieldRule {
  static constexpr double kInf = std::numeric_limits<double>::infinity();
  static constexpr size_t kMaxChoices = 16;

  bool numeric = false;  // the value (each element) is checked as a number
  double lo = -kInf;     // inclusive lower bound (exclusive when lo_open)
  double hi = kInf;      // inclusive upper bound
  bool lo_open = false;
  double step = 0;                            // the value must be a whole multiple of step (1: whole numbers); 0: any
  std::array<double, kMaxChoices> choices{};  // when n_choices > 0: one of these (codes, rates)
  size_t n_choices = 0;
  size_t count = 0;             // rows: the exact number of elements; 0 any
  const char* texts = nullptr;  // texts: the allowed texts separated by '|'
  bool texts_any_case = false;  // texts compare without regard to case
  bool has_off = false;         // the value `off` (an infinity: "Inf = off") is accepted besides the range
  double off = 0;
};

// A finite number in [lo, hi].
constexpr FieldRule range(double lo, double hi) {
  FieldRule r;
  r.numeric = true;
  r.lo = lo;
  r.hi = hi;
  return r;
}
// A finite number above lo.
constexpr FieldRule above(double lo, double hi = FieldRule::kInf) {
  FieldRule r = range(lo, hi);
  r.lo_open = true;
  return r;
}
// A whole number in [lo, hi].
constexpr FieldRule whole(double lo, double hi = FieldRule::kInf) {
  FieldRule r = range(lo, hi);
  r.step = 1;
  return r;
}
// A finite multiple of step in [lo, hi].
constexpr FieldRule multiple_of(double step, double lo, double hi) {
  FieldRule r = range(lo, hi);
  r.step = step;
  return r;
}
// Any finite number.
constexpr FieldRule finite() { return range(-FieldRule::kInf, FieldRule::kInf); }
// One of the listed numbers (codes, rates).
constexpr FieldRule codes(std::initializer_list<double> values) {
  FieldRule r;
  r.numeric = true;
  for (double v : values) r.choices[r.n_choices++] = v;
  return r;
}
// 0 (off) or 1 (on).
constexpr FieldRule flag() { return codes({0, 1}); }
// One of the texts separated by '|'.
constexpr FieldRule texts(const char* list, bool any_case = false) {
  FieldRule r;
  r.texts = list;
  r.texts_any_case = any_case;
  return r;
}
// The rule, or the one value `off` that switches the field off (Inf or -Inf).
constexpr FieldRule or_off(FieldRule r, double off) {
  r.has_off = true;
  r.off = off;
  return r;
}
// The same rule for each of exactly n elements of a row.
constexpr FieldRule elements(FieldRule r, size_t n) {
  r.count = n;
  return r;
}

struct FieldInfo {
  const char* meaning = "";  // one line: what the field does
  const char* unit = "";     // "Hz", "bytes", "samples", ...; empty for codes and texts
  const char* values = "";   // the allowed values in words; for codes each code and its meaning
  FieldRule rule{};          // the same values as a rule
  bool derived = false;      // computed from other fields (or by the calculation); not set by hand
};

}  // namespace tarvio
