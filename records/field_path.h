// Writes one field of a typed record chosen by its dotted name, such as
// "MACheader.Contents.Address1.Contents" or "Fading.delay", with the value
// converted by the record's own field list (records/record_value.h).
#pragma once

#include <string>
#include <vector>

#include "records/record_value.h"

namespace tarvio {

namespace field_path_detail {

std::vector<std::string> split_path(const std::string& path);

template <FieldRecord T>
void set_in(T& rec, const std::vector<std::string>& parts, size_t at, const Value& v, const std::string& shown) {
  bool found = false;
  for_each_field(rec, [&](const char* name, auto& member) {
    if (found || parts[at] != name) return;
    found = true;
    using M = std::decay_t<decltype(member)>;
    const std::string here = shown + "." + name;
    if (at + 1 == parts.size()) {
      from_value(v, member, here);
    } else if constexpr (FieldRecord<M>) {
      set_in(member, parts, at + 1, v, here);
    } else {
      throw FieldError("field '" + here + "' has no field '" + parts[at + 1] + "'");
    }
  });
  if (!found) throw FieldError("field '" + shown + "." + parts[at] + "' is unknown");
}

}  // namespace field_path_detail

// Sets rec.<path> = v. `record_name` starts the field names in messages
// ("parameters", "SigGenSettings"). Throws FieldError naming the field when
// the path names no field or the value is of the wrong kind for it; the
// record is unchanged then.
template <FieldRecord T>
void set_field(T& rec, const std::string& path, const Value& v, const std::string& record_name) {
  const auto parts = field_path_detail::split_path(path);
  T tmp = rec;
  field_path_detail::set_in(tmp, parts, 0, v, record_name);
  rec = std::move(tmp);
}

}  // namespace tarvio
