// What an analysis reports beyond each packet's check: the verdict over
// the whole capture, the note on noise, samples that are not numbers and
// bursts of neither family, and the JSON form that tarvio-cli analyze
// --json prints and the Python package returns.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "analyze/analyzer.h"

namespace tarvio::analyze {

// True when every burst is a packet that passed and every sample is a number.
bool analysis_pass(const Analysis& a);

// "" or the note on the capture as a whole.
std::string analysis_note(const Analysis& a);

// The noise floor or burst level as printed ("-71.3 dB", "zero").
std::string level_text(double db);

// verify's JSON of the packets with each packet's place in the capture,
// family figures and tolerances, and the capture's own figures.
nlohmann::json analysis_json(const Analysis& a, const AnalyzeOptions& o, const std::string& capture,
                             const std::string& kind);

}  // namespace tarvio::analyze
