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

// The ramp times as the report prints them under a packet: "    ramps: on
// 0.12 us, off 0.10 us (limit 2 us)", "not measured" with why, or "" when
// the packet has none.
std::string ramps_text(const verify::PacketCheck& c);

// The EVM rows as the report prints them under a packet: the range of
// each row and where it is worst, and with `every_entry` the rows
// themselves (OFDM per DATA symbol and per sub-carrier in dB, DSSS per
// 1000-chip block in %). "" when the packet has none.
std::string evm_rows_text(const verify::EvmRows& r, bool every_entry);

// The EVM rows as the JSON carries them: OFDM "evmPerSymbolDb",
// "evmSubcarriers" and "evmPerSubcarrierDb" (null for an EVM of 0), DSSS
// "evmPerBlockPercent" (1000-chip blocks, the limit's unit).
void add_evm_rows(const verify::EvmRows& r, nlohmann::json& packet);

// verify's JSON of the packets with each packet's place in the capture,
// family figures and tolerances, and the capture's own figures.
nlohmann::json analysis_json(const Analysis& a, const AnalyzeOptions& o, const std::string& capture,
                             const std::string& kind);

}  // namespace tarvio::analyze
