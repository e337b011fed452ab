// What the verification prints: one line per packet (format, rate,
// preamble, length, header check, FCS, PSDU comparison, EVM against its
// limit, mask), a summary, and the same as JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "verify/verifier.h"

namespace tarvio::verify {

struct Summary {
  size_t packets = 0, decoded = 0, passed = 0, warned = 0;
  double worstEvmDb = -std::numeric_limits<double>::infinity();  // OFDM: RMS; DSSS: peak of the 1000-chip blocks
  double worstMaskMarginDb = std::numeric_limits<double>::infinity();
  bool all_pass() const { return packets > 0 && passed == packets; }
};

// v with `decimals` places as printf's "%.*f" gives it; "inf" / "-inf" for
// the infinities.
std::string fixed_text(double v, int decimals);

Summary summarize(const std::vector<PacketCheck>& checks);
std::string packet_line(const PacketCheck& c);
std::string summary_text(const Summary& s);
nlohmann::json to_json(const PacketCheck& c);
nlohmann::json to_json(const std::vector<PacketCheck>& checks, const Summary& s);

}  // namespace tarvio::verify
