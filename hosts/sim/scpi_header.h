// SCPI header matching for the simulated instrument: patterns in the usual
// notation ("[:SOURce]:FREQuency[:CW|:FIXed]"), where the upper-case part of
// a node is its short form, either form is accepted in any case, and nodes
// in brackets may be left out.
#pragma once

#include <string>
#include <vector>

namespace tarvio::sim {

// True when header (e.g. ":source:freq:fix", "FREQ") matches the pattern.
// A trailing '?' must be in both or neither.
bool header_matches(const std::string& header, const std::string& pattern);

// Splits a message into its header and its parameter text (trimmed).
void split_message(const std::string& msg, std::string& header, std::string& params);

}  // namespace tarvio::sim
