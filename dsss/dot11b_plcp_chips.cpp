// Modulation of the PLCP preamble and header sections of a scrambled 802.11b
// frame row.
#include "dsss/dot11b_plcp_chips.h"

#include <stdexcept>
#include <string>

#include "dsss/dot11b_dsss_mod.h"
#include "dsss/dot11b_preamble.h"

namespace tarvio {

PlcpChips dot11b_plcp_chips(const Bits& frame, double preambleType) {
  const size_t headerPtr = dot11b_preamble_size(preambleType);
  if (frame.size() < headerPtr + 48)
    throw std::invalid_argument("The frame row holds " + std::to_string(frame.size()) + " bits, fewer than the " +
                                std::to_string(headerPtr + 48) + " of preamble and header.");
  const auto begin = frame.begin();
  const DsssChips pre = Dot11b_1Mbps(Bits(begin, begin + static_cast<std::ptrdiff_t>(headerPtr)), kDot11bInitialPhase);
  const Bits headerBits(begin + static_cast<std::ptrdiff_t>(headerPtr),
                        begin + static_cast<std::ptrdiff_t>(headerPtr + 48));
  // The header runs at 1 Mbit/s after a long preamble, at 2 Mbit/s after a short one.
  const DsssChips hdr =
      preambleType == 0 ? Dot11b_1Mbps(headerBits, pre.lastPhase) : Dot11b_2Mbps(headerBits, pre.lastPhase);
  return {pre.output, hdr.output, hdr.lastPhase};
}

}  // namespace tarvio
