// Splitting of dotted field names.
#include "records/field_path.h"

namespace tarvio::field_path_detail {

std::vector<std::string> split_path(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t dot = path.find('.', start);
    std::string part = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (part.empty()) throw FieldError("field name '" + path + "' is not a dotted list of field names");
    parts.push_back(part);
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return parts;
}

}  // namespace tarvio::field_path_detail
