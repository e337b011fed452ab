// Text and JSON forms of the verification results.
#include "verify/report.h"

#include <cmath>
#include <cstdio>

#include "runtime/number_text.h"

namespace tarvio::verify {

std::string fixed_text(double v, int decimals) {
  if (!std::isfinite(v)) return v < 0 ? "-inf" : "inf";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

namespace {

std::string num(double v, int decimals) { return fixed_text(v, decimals); }

std::string rate_text(double r) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", r);
  return buf;
}

const char* clock_switch_name(ClockSwitch c) {
  switch (c) {
    case ClockSwitch::Spread:
      return "Barker-spread";
    case ClockSwitch::Unspread:
      return "unspread";
    default:
      return "none";
  }
}

// The impairments a packet was measured with, when its header decoded.
const BurstImpairments* measured(const PacketCheck& c) {
  if (c.family == Family::Ofdm) return c.ofdm.signalOk && c.ofdm.error.empty() ? &c.ofdm.impairments : nullptr;
  return c.dsss.headerCrcOk && c.dsss.error.empty() ? &c.dsss.impairments : nullptr;
}

std::string signed_num(double v, int decimals) {
  if (!std::isfinite(v)) return num(v, decimals);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%+.*f", decimals, v);
  return buf;
}

// "CFO +1234 Hz (+0.51 ppm of 2412 MHz), clock -1.20 ppm, IQ gain 0.10 dB
// phase 0.50 deg, DC -45.0 dBc, SNR 30.1 dB"; a figure the burst does not
// give reads "not measured".
std::string impairment_text(const BurstImpairments& m, double carrier) {
  auto known = [](double v, const std::string& text) { return std::isnan(v) ? std::string("not measured") : text; };
  std::string s = "CFO " + signed_num(m.cfoHz, 0) + " Hz";
  if (carrier > 0) {
    char f[48];
    std::snprintf(f, sizeof f, "%g MHz", carrier / 1e6);
    s += " (" + signed_num(m.cfoHz / carrier * 1e6, 2) + " ppm of " + f + ")";
  } else {
    s += " (carrier frequency unknown)";
  }
  s += ", clock " + known(m.clockPpm, signed_num(m.clockPpm, 2) + " ppm");
  s += ", IQ " +
       known(m.iqGainDb, "gain " + signed_num(m.iqGainDb, 2) + " dB phase " + signed_num(m.iqPhaseDeg, 2) + " deg");
  s += ", DC " + known(m.dcDbc, num(m.dcDbc, 1) + " dBc");
  s += ", SNR " + known(m.snrDb, num(m.snrDb, 1) + " dB");
  return s;
}

// " mask pass", qualified where the mask could be checked only in part or
// not at all.
std::string mask_text(const PacketCheck& c) {
  const MaskResult& m = c.mask;
  char edge[48];
  std::snprintf(edge, sizeof edge, "%g MHz", m.checkedToHz / 1e6);
  if (m.evaluated) {
    std::string s = std::string(" mask ") + (m.pass ? "pass" : "fail");
    if (m.limitedByRate) s += " up to " + std::string(edge) + " (sample rate limits it)";
    return s;
  }
  if (m.bandTooNarrow)
    return " mask not checked (the sample rate reaches only " + std::string(edge) + ", inside the mask's 0 dBr part)";
  if (c.notFinite) return " mask not measured";
  return "";
}

void add_ramps(const RampTimes& r, nlohmann::json& j) {
  if (r.evaluated) {
    j["rampOnUs"] = r.onSeconds * 1e6;
    j["rampOffUs"] = r.offSeconds * 1e6;
  } else if (r.noisy) {
    j["rampsNotMeasured"] = "the noise floor lies within " + num(kRampFloorDb, 0) + " dB of the burst";
  }
}

double evm_db_of(const PacketCheck& c) {
  if (c.notFinite) return -INFINITY;  // not measured
  if (c.family == Family::Ofdm) return c.ofdm.evmDb;
  return c.dsss.evmPeakPercent > 0 ? 20 * std::log10(c.dsss.evmPeakPercent / 100) : -INFINITY;
}

}  // namespace

Summary summarize(const std::vector<PacketCheck>& checks) {
  Summary s;
  for (const PacketCheck& c : checks) {
    ++s.packets;
    if (c.decoded) {
      ++s.decoded;
      s.worstEvmDb = std::max(s.worstEvmDb, evm_db_of(c));
    }
    if (c.pass) ++s.passed;
    if (!c.warnings.empty()) ++s.warned;
    if (c.mask.evaluated) s.worstMaskMarginDb = std::min(s.worstMaskMarginDb, c.mask.worstMarginDb);
  }
  return s;
}

std::string packet_line(const PacketCheck& c) {
  std::string s = "#" + std::to_string(c.index + 1) + " ";
  if (!c.missing.empty()) return s + c.missing + "  FAIL";
  if (c.family == Family::Ofdm) {
    const OfdmPacket& p = c.ofdm;
    s += "OFDM";
    if (p.rateMbps > 0) s += " " + rate_text(p.rateMbps) + " Mbit/s";
    s += " length " + std::to_string(p.length);
    s += std::string(" SIGNAL ") + (p.signalOk ? "ok" : "bad");
    if (p.signalOk) {
      s += c.fcsSent ? std::string(" FCS ") + (p.fcsOk ? "ok" : "bad") : std::string(" no FCS");
      s += c.notFinite ? std::string(" EVM not measured")
                       : " EVM " + num(p.evmDb, 1) + " dB (" + num(p.evmPercent, 2) + " %) limit " +
                             num(p.evmLimitDb, 0) + " dB";
      s += std::string(" flatness ") + (p.flatnessOk ? "ok" : "fail");
    }
  } else {
    const DsssPacket& p = c.dsss;
    s += p.rateMbps > 11 ? "ERP-PBCC" : p.pbcc ? "PBCC" : p.rateMbps >= 5.5 ? "CCK" : "DSSS";
    if (p.rateMbps > 0) s += " " + rate_text(p.rateMbps) + " Mbit/s";
    s += p.longPreamble ? " long" : " short";
    s += " length " + std::to_string(p.octets);
    s += std::string(" header ") + (p.headerCrcOk ? "ok" : "bad");
    if (p.headerCrcOk) {
      s += c.fcsSent ? std::string(" FCS ") + (p.fcsOk ? "ok" : "bad") : std::string(" no FCS");
      s += c.notFinite ? std::string(" EVM not measured")
                       : " EVM " + num(p.evmPercent, 2) + " % (peak " + num(p.evmPeakPercent, 2) + " %) limit " +
                             num(kDsssEvmLimitPercent, 0) + " %";
    }
  }
  if (c.psduEqual >= 0) s += std::string(" PSDU ") + (c.psduEqual ? "equal" : "differs");
  s += mask_text(c);
  s += c.pass ? "  PASS" : "  FAIL";
  if (const BurstImpairments* m = measured(c)) s += "\n    measured: " + impairment_text(*m, c.carrierHz);
  if (c.family == Family::Ofdm && c.ofdm.knownReference) s += "\n    EVM against the parameter set's PSDU";
  for (const std::string& f : c.failures) s += "\n    failure: " + f;
  for (const std::string& w : c.warnings) s += "\n    warning: " + w;
  return s;
}

std::string summary_text(const Summary& s) {
  std::string t = std::to_string(s.packets) + " packets, " + std::to_string(s.decoded) + " decoded, " +
                  std::to_string(s.passed) + " passed, " + std::to_string(s.packets - s.passed) + " failed";
  if (s.warned) t += ", " + std::to_string(s.warned) + " with warnings";
  if (s.decoded && std::isfinite(s.worstEvmDb)) t += "; worst EVM " + num(s.worstEvmDb, 1) + " dB";
  if (std::isfinite(s.worstMaskMarginDb)) t += "; smallest mask margin " + num(s.worstMaskMarginDb, 1) + " dB";
  return t;
}

nlohmann::json to_json(const PacketCheck& c) {
  nlohmann::json j;
  j["packet"] = c.index + 1;
  if (!c.missing.empty()) {
    j["pass"] = false;
    j["missing"] = c.missing;
    return j;
  }
  j["start"] = c.start;
  j["end"] = c.end;
  j["decoded"] = c.decoded;
  j["fcsSent"] = c.fcsSent;
  j["pass"] = c.pass;
  j["psduEqual"] = c.psduEqual < 0 ? nlohmann::json() : nlohmann::json(c.psduEqual == 1);
  auto finite = [](double v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(); };
  if (c.family == Family::Ofdm) {
    const OfdmPacket& p = c.ofdm;
    j["format"] = "OFDM";
    j["rate"] = p.rateMbps;
    j["length"] = p.length;
    j["signalOk"] = p.signalOk;
    j["fcsOk"] = p.fcsOk;
    j["service"] = p.service;
    j["symbols"] = p.symbols;
    j["evmDb"] = finite(p.evmDb);
    j["evmPercent"] = finite(p.evmPercent);
    j["evmLimitDb"] = p.evmLimitDb;
    j["flatnessOk"] = p.flatnessOk;
    j["flatnessDb"] = p.flatnessDb;
    j["carrierLeakageDb"] = p.dcLeakageDb;
    j["frequencyOffsetHz"] = p.cfoHz;
    j["unusedCarriers"] = p.unusedCarriers;
    add_ramps(p.ramps, j);
  } else {
    const DsssPacket& p = c.dsss;
    j["format"] = p.rateMbps > 11 ? "ERP-PBCC" : p.pbcc ? "PBCC" : p.rateMbps >= 5.5 ? "CCK" : "DSSS";
    j["rate"] = p.rateMbps;
    j["preamble"] = p.longPreamble ? "long" : "short";
    j["syncBits"] = p.syncBits;
    j["scrambling"] = p.scrambling;
    j["length"] = p.octets;
    j["lengthField"] = p.lengthUs;
    j["signal"] = p.signal;
    j["service"] = p.service;
    j["headerCrcOk"] = p.headerCrcOk;
    j["fcsOk"] = p.fcsOk;
    j["evmPercent"] = finite(p.evmPercent);
    j["evmPeakPercent"] = finite(p.evmPeakPercent);
    j["evmLimitPercent"] = kDsssEvmLimitPercent;
    j["carrierLeakageDb"] = p.carrierLeakageDb;
    add_ramps(p.ramps, j);
    if (p.pbcc) j["pbcc"] = describe(p.pbccConvention);
    if (p.clockSwitch != ClockSwitch::None) {
      j["clockSwitch"] = clock_switch_name(p.clockSwitch);
      j["clockSwitchBits"] = p.clockSwitchBits;
    }
  }
  if (c.mask.evaluated) {
    j["maskPass"] = c.mask.pass;
    j["maskMarginDb"] = c.mask.worstMarginDb;
    j["maskWorstHz"] = c.mask.worstFreqHz;
    j["maskCheckedToHz"] = c.mask.checkedToHz;
    j["maskLimitedBySampleRate"] = c.mask.limitedByRate;
  } else if (c.mask.bandTooNarrow) {
    j["maskNotChecked"] = "the sample rate reaches only the mask's 0 dBr part";
    j["maskCheckedToHz"] = c.mask.checkedToHz;
  }
  if (c.notFinite) j["notFiniteSamples"] = c.notFinite;
  if (const BurstImpairments* m = measured(c)) {
    auto known = [](double v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(); };
    j["cfoHz"] = m->cfoHz;
    j["cfoPpm"] = c.carrierHz > 0 ? nlohmann::json(m->cfoHz / c.carrierHz * 1e6) : nlohmann::json();
    j["carrierHz"] = c.carrierHz > 0 ? nlohmann::json(c.carrierHz) : nlohmann::json();
    j["clockPpm"] = known(m->clockPpm);
    j["iqGainDb"] = known(m->iqGainDb);
    j["iqPhaseDeg"] = known(m->iqPhaseDeg);
    j["dcOffsetDbc"] = known(m->dcDbc);
    j["snrDb"] = known(m->snrDb);
    if (c.family == Family::Ofdm) j["evmReference"] = c.ofdm.knownReference ? "parameter set" : "decoded";
  }
  j["failures"] = c.failures;
  j["warnings"] = c.warnings;
  if (!c.ofdm.error.empty() || !c.dsss.error.empty()) j["error"] = c.ofdm.error + c.dsss.error;
  return j;
}

nlohmann::json to_json(const std::vector<PacketCheck>& checks, const Summary& s) {
  nlohmann::json j;
  j["packets"] = nlohmann::json::array();
  for (const PacketCheck& c : checks) j["packets"].push_back(to_json(c));
  j["summary"] = {{"packets", s.packets},           {"decoded", s.decoded},     {"passed", s.passed},
                  {"failed", s.packets - s.passed}, {"withWarnings", s.warned}, {"pass", s.all_pass()}};
  return j;
}

}  // namespace tarvio::verify
