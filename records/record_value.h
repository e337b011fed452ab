// Conversion between the typed records and the dynamic Value, driven by each
// record's field list: to_value builds a Value record with the fields in
// order; from_value fills a typed record and refuses a missing field, an
// unknown field or a value of the wrong kind with a message naming the field.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "records/records.h"
#include "runtime/value.h"

namespace tarvio {

template <class T>
concept FieldRecord = requires(T& t) {
  for_each_field(t, [](const char*, auto&) {});
};

class FieldError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline Value to_value(double x) { return Value(x); }
inline Value to_value(const std::string& s) { return Value(s); }
inline Value to_value(const std::vector<double>& v) { return Value::row(v); }
inline Value to_value(const std::vector<Value>& v) { return Value::list(v); }
template <FieldRecord T>
Value to_value(const T& r);
template <class T>
Value to_value(const std::optional<T>& o) {
  return o ? to_value(*o) : Value();
}

template <FieldRecord T>
Value to_value(const T& r) {
  Record rec;
  for_each_field(r, [&](const char* name, const auto& member) {
    if constexpr (requires { member.has_value(); }) {
      // Optional fields that are absent are left out of the record, except
      // record-valued ones, which are kept as empty fields.
      if (!member.has_value() && std::is_arithmetic_v<std::decay_t<decltype(*member)>>) return;
    }
    rec.set(name, to_value(member));
  });
  return Value(std::move(rec));
}

inline void from_value(const Value& v, double& out, const std::string& path) {
  if (!v.is_numeric() || v.numel() != 1)
    throw FieldError("field '" + path + "': expected a number, got " + v.kind_name());
  out = v.to_double();
}
inline void from_value(const Value& v, std::string& out, const std::string& path) {
  if (!v.is_text() && !(v.is_numeric() && v.is_empty()))
    throw FieldError("field '" + path + "': expected text, got " + v.kind_name());
  out = v.str();
}
inline void from_value(const Value& v, std::vector<double>& out, const std::string& path) {
  if (!v.is_numeric() || v.kind() == Value::Kind::Complex)
    throw FieldError("field '" + path + "': expected a real row, got " + v.kind_name());
  if (v.rows() > 1 && v.cols() > 1) throw FieldError("field '" + path + "': expected a row, got a matrix");
  out = v.to_reals();
}
inline void from_value(const Value& v, std::vector<Value>& out, const std::string& path) {
  if (v.is_numeric() && v.is_empty()) {
    out.clear();
    return;
  }
  if (!v.is_list()) throw FieldError("field '" + path + "': expected a list, got " + v.kind_name());
  out = v.list();
}
template <FieldRecord T>
void from_value(const Value& v, T& out, const std::string& path);
template <class T>
void from_value(const Value& v, std::optional<T>& out, const std::string& path) {
  if (v.is_numeric() && v.is_empty() && !std::is_arithmetic_v<T>) {
    out.reset();
    return;
  }
  T t{};
  from_value(v, t, path);
  out = std::move(t);
}

template <FieldRecord T>
void from_value(const Value& v, T& out, const std::string& path) {
  if (!v.is_record()) throw FieldError("field '" + path + "': expected a record, got " + v.kind_name());
  const Record& rec = v.record();
  T tmp = out;
  size_t used = 0;
  for_each_field(tmp, [&](const char* name, auto& member) {
    std::string sub = path.empty() ? name : path + "." + name;
    const Value* f = rec.find(name);
    if (!f) {
      if constexpr (requires { member.has_value(); }) {
        member.reset();
        return;
      }
      throw FieldError("field '" + sub + "' is missing");
    }
    ++used;
    from_value(*f, member, sub);
  });
  if (used != rec.size()) {
    for (const auto& field : rec.fields()) {
      const std::string& name = field.first;  // a plain name: lambdas may capture it
      bool known = false;
      for_each_field(tmp, [&](const char* n, auto&) { known = known || name == n; });
      if (!known) throw FieldError("field '" + (path.empty() ? name : path + "." + name) + "' is unknown");
    }
  }
  out = std::move(tmp);
}

// Convenience: a typed record from a Value, with the record's own name as
// the start of every field path in messages.
template <FieldRecord T>
T record_from_value(const Value& v, const std::string& name) {
  T t{};
  from_value(v, t, name);
  return t;
}

}  // namespace tarvio
