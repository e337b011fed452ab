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
