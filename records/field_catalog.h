// The fields of a record with their descriptions, by dotted name, walked
// from the record's own field list (records/records.h): what the field
// reference (tarvio-cli fields, docs/parameters.md) lists, and the checking
// of every stored value against its rule, naming the field and the values
// it takes.
#pragma once

#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "records/field_info.h"
#include "records/field_path.h"
#include "records/record_value.h"

namespace tarvio {

struct FieldEntry {
  std::string path;  // dotted name inside the record, e.g. "MACheader.Contents.Address1.Size"
  FieldInfo info;
  bool is_record = false;  // a nested record; its fields follow it
  Value value;             // the field's value in the record walked
};

namespace field_catalog_detail {

template <class M>
constexpr bool is_record_member() {
  if constexpr (FieldRecord<M>) return true;
  if constexpr (requires(M m) { m.has_value(); }) return FieldRecord<typename M::value_type>;
  return false;
}

template <FieldRecord T>
void walk(const T& rec, const std::string& prefix, std::vector<FieldEntry>& out) {
  for_each_field(rec, [&](const char* name, const auto& member, const FieldInfo& info) {
    using M = std::decay_t<decltype(member)>;
    FieldEntry e;
    e.path = prefix.empty() ? name : prefix + "." + name;
    e.info = info;
    e.is_record = is_record_member<M>();
    e.value = to_value(member);
    out.push_back(e);
    if constexpr (FieldRecord<M>) walk(member, e.path, out);
  });
}

}  // namespace field_catalog_detail

// Every field of the record in field-list order, nested records followed by
// their own fields.
template <FieldRecord T>
std::vector<FieldEntry> field_catalog(const T& rec) {
  std::vector<FieldEntry> out;
  field_catalog_detail::walk(rec, "", out);
  return out;
}

// The entry of one field by its dotted name, or nothing when the record has
// no such field.
template <FieldRecord T>
std::optional<FieldEntry> find_field(const T& rec, const std::string& path) {
  for (FieldEntry& e : field_catalog(rec))
    if (e.path == path) return std::move(e);
  return std::nullopt;
}

// Why `x` breaks the rule (a short text such as "it is not a whole number"),
// or nothing when it keeps it.
std::optional<std::string> rule_violation(const FieldRule& rule, double x);
std::optional<std::string> rule_violation(const FieldRule& rule, const std::string& text);

// The refusal of one value: "<shown> = <value> is not allowed (<reason>); it
// takes <values>". `shown` names the field (e.g. "parameters.format").
std::string refusal_text(const std::string& shown, const std::string& value_text, const std::string& reason,
                         const FieldInfo& info);

namespace field_catalog_detail {

void check_number(double x, const FieldInfo& info, const std::string& shown);
void check_row(const std::vector<double>& row, const FieldInfo& info, const std::string& shown);
void check_text(const std::string& text, const FieldInfo& info, const std::string& shown);

template <FieldRecord T>
void check(const T& rec, const std::string& shown, const std::string* only) {
  for_each_field(rec, [&](const char* name, const auto& member, const FieldInfo& info) {
    using M = std::decay_t<decltype(member)>;
    const std::string here = shown + "." + name;
    if (only && *only != name) return;
    if constexpr (std::is_same_v<M, double>)
      check_number(member, info, here);
    else if constexpr (std::is_same_v<M, std::optional<double>>) {
      if (member) check_number(*member, info, here);
    } else if constexpr (std::is_same_v<M, std::vector<double>>)
      check_row(member, info, here);
    else if constexpr (std::is_same_v<M, std::string>)
      check_text(member, info, here);
    else if constexpr (FieldRecord<M>)
      check(member, here, nullptr);
  });
}

}  // namespace field_catalog_detail

// Checks every stored value of the record against its field's rule; throws
// FieldError for the first that breaks it, naming the field (record_name +
// dotted path), the value and the values the field takes.
template <FieldRecord T>
void check_fields(const T& rec, const std::string& record_name) {
  field_catalog_detail::check(rec, record_name, nullptr);
}

// The same for one field given by its dotted name (and everything below it
// when it is a record); a name that is no field is left alone.
template <FieldRecord T>
void check_field(const T& rec, const std::string& path, const std::string& record_name) {
  const auto parts = field_path_detail::split_path(path);
  // Walks down to the parent record of the last part, then checks that part.
  auto go = [&](auto& self, const auto& r, size_t at, const std::string& shown) -> void {
    if (at + 1 == parts.size()) {
      field_catalog_detail::check(r, shown, &parts[at]);
      return;
    }
    for_each_field(r, [&](const char* name, const auto& member) {
      using M = std::decay_t<decltype(member)>;
      if constexpr (FieldRecord<M>)
        if (parts[at] == name) self(self, member, at + 1, shown + "." + name);
    });
  };
  go(go, rec, 0, record_name);
}

}  // namespace tarvio
