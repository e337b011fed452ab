// The analysis's verdict, note and JSON.
#include "analyze/analysis_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "verify/report.h"

namespace tarvio::analyze {

using verify::Family;

bool analysis_pass(const Analysis& a) { return a.pass() && a.scan.notFinite == 0; }

std::string level_text(double db) {
  if (!std::isfinite(db)) return "zero";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.1f dB", db);
  return buf;
}

std::string analysis_note(const Analysis& a) {
  std::string note;
  if (a.scan.noiseOnly)
    note = "noise only: nothing rises above the noise floor (" + level_text(a.scan.floorDb) + ") by 4 dB or more";
  if (a.scan.notFinite > 0)
    note += std::string(note.empty() ? "" : "; ") + std::to_string(a.scan.notFinite) +
            " samples are not numbers (NaN or infinite); they were read as 0";
  const size_t foreign = static_cast<size_t>(
      std::count_if(a.packets.begin(), a.packets.end(), [](const AnalyzedPacket& p) { return p.foreign; }));
  if (foreign > 0)
    note += std::string(note.empty() ? "" : "; ") + std::to_string(foreign) + " of the " +
            std::to_string(a.packets.size()) + " counted are bursts in which no packet decodes (listed above)";
  return note;
}

namespace {

// "-33.1 to -29.4 dB (worst: symbol 17 of 60)"; `label(k)` names entry k.
template <typename Label>
std::string span_text(const std::vector<double>& percent, bool db, const Label& label) {
  if (percent.empty()) return "none";
  const auto [lo, hi] = std::minmax_element(percent.begin(), percent.end());
  auto value = [db](double v) {
    return db ? verify::fixed_text(verify::evm_percent_to_db(v), 1) : verify::fixed_text(v, 2);
  };
  return value(*lo) + " to " + value(*hi) + (db ? " dB" : " %") +
         " (worst: " + label(static_cast<size_t>(hi - percent.begin())) + ")";
}

// Every entry, `per_line` to a line: "      label: value  label: value".
template <typename Label>
std::string table_text(const std::vector<double>& percent, bool db, size_t per_line, const Label& label) {
  std::string s;
  for (size_t k = 0; k < percent.size(); ++k) {
    s += k % per_line == 0 ? "\n      " : "  ";
    s += label(k) + ": " +
         (db ? verify::fixed_text(verify::evm_percent_to_db(percent[k]), 1) : verify::fixed_text(percent[k], 2));
  }
  return s;
}

}  // namespace

std::string ramps_text(const verify::PacketCheck& c) {
  const bool ofdm = c.family == verify::Family::Ofdm;
  const verify::RampTimes& r = ofdm ? c.ofdm.ramps : c.dsss.ramps;
  if (r.noisy)
    return "    ramps: not measured (the noise floor lies within " + verify::fixed_text(verify::kRampFloorDb, 0) +
           " dB of the burst)";
  if (!r.evaluated) return "";
  return "    ramps: on " + verify::fixed_text(r.onSeconds * 1e6, 2) + " us, off " +
         verify::fixed_text(r.offSeconds * 1e6, 2) + (ofdm ? " us (no limit for OFDM)" : " us (limit 2 us)");
}

std::string evm_rows_text(const verify::EvmRows& r, bool every_entry) {
  if (r.empty()) return "";
  const auto number = [](size_t k) { return std::to_string(k + 1); };
  if (r.carriers.empty()) {
    const size_t n = r.perSymbol.size();
    std::string s = "    EVM per 1000-chip block: " + span_text(r.perSymbol, false, [n](size_t k) {
                      return "block " + std::to_string(k + 1) + " of " + std::to_string(n);
                    });
    if (every_entry) s += "\n    EVM per 1000-chip block (%):" + table_text(r.perSymbol, false, 8, number);
    return s;
  }
  const size_t n = r.perSymbol.size();
  const auto carrier = [&r](size_t k) {
    return verify::fixed_text(r.carriers[k], 0).insert(0, r.carriers[k] > 0 ? "+" : "");
  };
  std::string s = "    EVM per symbol: " +
                  span_text(r.perSymbol, true,
                            [n](size_t k) { return "symbol " + std::to_string(k + 1) + " of " + std::to_string(n); }) +
                  "; per sub-carrier: " + span_text(r.perCarrier, true, carrier);
  if (every_entry) {
    s += "\n    EVM per DATA symbol (dB):" + table_text(r.perSymbol, true, 10, number);
    s += "\n    EVM per sub-carrier (dB):" + table_text(r.perCarrier, true, 8, carrier);
  }
  return s;
}

void add_evm_rows(const verify::EvmRows& r, nlohmann::json& e) {
  if (r.empty()) return;
  auto db = [](const std::vector<double>& percent) {
    nlohmann::json a = nlohmann::json::array();
    for (double v : percent) a.push_back(v > 0 ? nlohmann::json(verify::evm_percent_to_db(v)) : nlohmann::json());
    return a;
  };
  if (r.carriers.empty()) {
    e["evmPerBlockPercent"] = r.perSymbol;
    return;
  }
  e["evmPerSymbolDb"] = db(r.perSymbol);
  nlohmann::json carriers = nlohmann::json::array();
  for (double k : r.carriers) carriers.push_back(static_cast<int>(k));
  e["evmSubcarriers"] = carriers;
  e["evmPerSubcarrierDb"] = db(r.perCarrier);
}

nlohmann::json analysis_json(const Analysis& a, const AnalyzeOptions& o, const std::string& capture,
                             const std::string& kind) {
  std::vector<verify::PacketCheck> checks;
  for (const auto& p : a.packets) checks.push_back(p.check);
  nlohmann::json j = verify::to_json(checks, verify::summarize(checks));
  for (size_t k = 0; k < a.packets.size(); ++k) {
    const auto& p = a.packets[k];
    nlohmann::json& e = j["packets"][k];
    e["seconds"] = p.seconds;
    e["burst"] = p.burst + 1;
    e["foreign"] = p.foreign;
    e["family"] = p.check.family == Family::Ofdm ? "OFDM" : "DSSS";
    e["ofdmScore"] = p.ofdmScore;
    e["dsssScore"] = p.dsssScore;
    if (!p.foreign) {
      e["receiverRate"] = p.rxRate;
      // The tolerances the packet was judged against.
      e["cfoToleranceHz"] = carrier_tolerance_hz(p.check.family, o.carrierHz);
      e["clockTolerancePpm"] = p.check.family == Family::Ofdm ? 20 : 25;
    }
    add_evm_rows(p.evm, e);
    if (p.bitErrors >= 0) {
      e["bitErrors"] = p.bitErrors;
      e["bitsCompared"] = p.bitsCompared;
    }
  }
  j["capture"] = capture;
  j["kind"] = kind;
  j["sampleRate"] = a.sampleRate;
  j["samples"] = a.samples;
  j["centerOffsetHz"] = o.centerOffsetHz;
  j["bursts"] = a.scan.bursts.size();
  auto finite = [](double v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(); };
  j["noiseFloorDb"] = finite(a.scan.floorDb);
  j["burstLevelDb"] = finite(a.scan.peakDb);
  j["thresholdDb"] = finite(a.scan.thresholdDb);
  j["noiseOnly"] = a.scan.noiseOnly;
  j["notFiniteSamples"] = a.scan.notFinite;
  j["summary"]["pass"] = analysis_pass(a);
  const std::string note = analysis_note(a);
  if (!note.empty()) j["note"] = note;
  return j;
}

}  // namespace tarvio::analyze
