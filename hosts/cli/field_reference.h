// The field reference of tarvio-cli fields and docs/parameters.md: every
// field of the parameter set, the signal generator settings and the
// connection record, with its meaning, unit, values (the meaning of each
// code) and default, read from the records' field list.
#pragma once

#include <string>
#include <vector>

#include "records/field_catalog.h"

namespace tarvio::cli {

struct ReferenceRecord {
  std::string name;                // "parameters", "SigGenSettings", "configuration"
  std::string set_by;              // the option that sets its fields
  std::vector<FieldEntry> fields;  // with the default values
};

// The three records as a calculation starts from them (defaults, sample
// rate set from the oversampling).
std::vector<ReferenceRecord> reference_records();

// A value as the reference shows it: texts quoted, numbers in full, short
// rows listed, longer ones counted ("[1x53]").
std::string value_text(const FieldEntry& e);

// The entries whose dotted name (with or without the record's name) is
// `query`, with the fields below them; else those whose name, meaning or
// values hold `query` (any case). Each as text blocks.
std::string field_text(const std::vector<ReferenceRecord>& records, const std::string& query, size_t* matches);

// docs/parameters.md.
std::string reference_markdown(const std::vector<ReferenceRecord>& records);

}  // namespace tarvio::cli
