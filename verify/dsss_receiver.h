// The DSSS receiver of the verification (IEEE 802.11 clauses 15 and 18, and
// the ERP-PBCC rates of clause 19): symbol timing from the Barker-spread
// SYNC, DBPSK and DQPSK differential detection, the self-synchronising
// descrambler, SFD search (long and short preamble), the PLCP header and
// its CRC-16, then the payload by Barker despreading (1, 2 Mbit/s), CCK
// codeword correlation (5.5, 11 Mbit/s) or PBCC decoding (5.5, 11, 22, 33
// Mbit/s, with the 33 Mbit/s clock switch), the PSDU and its FCS. Any
// oversampling is brought to the chip rate by interpolation. A carrier
// offset is measured on the SYNC field and taken off, the phase tracked
// over the burst; a symbol-clock error is measured from the chips' timing
// along the burst, and a burst that drifts is decoded again on that clock.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "runtime/types.h"
#include "verify/burst_impairments.h"
#include "verify/measurements.h"
#include "verify/packet_points.h"
#include "verify/pbcc_decoder.h"

namespace tarvio::verify {

enum class ClockSwitch { None, Spread, Unspread };

struct DsssPacket {
  bool found = false;         // SFD found
  size_t start = 0, end = 0;  // the burst in samples, from the first synchronised symbol
  bool longPreamble = true;
  size_t syncBits = 0;     // SYNC bits received before the SFD
  std::string scrambling;  // "on", "preamble only" or "off"
  bool headerCrcOk = false;
  unsigned signal = 0, service = 0, lengthUs = 0;
  double rateMbps = 0;
  bool pbcc = false, locked = false;
  size_t octets = 0;
  ClockSwitch clockSwitch = ClockSwitch::None;
  unsigned clockSwitchBits = 0;  // the 15 bits, first received most significant
  // 33 Mbit/s: the clock-switch section, samples [switchStart, switchEnd),
  // between the header at 11 Mchip/s and the payload at 16.5 Mchip/s (both
  // 0 at the other rates).
  size_t switchStart = 0, switchEnd = 0;
  PbccConvention pbccConvention;
  Bits psdu;
  bool fcsOk = false;
  double evmPercent = 0, evmDb = 0;  // RMS over the chips from the SFD to the end
  double evmPeakPercent = 0;         // largest RMS over a block of 1000 chips
  double carrierLeakageDb = 0;       // power of the burst's mean relative to its power
  RampTimes ramps;
  BurstImpairments impairments;       // carrier and clock offsets, IQ imbalance, DC, SNR (of the chips)
  std::vector<std::string> warnings;  // what an IEEE 802.11 receiver could not decode
  PacketPoints points;                // the EVM's chips, kept only when asked for (keep_points)
  std::string error;
};

// Peak EVM limit of the DSSS and CCK transmitters (18.4.7.8), in percent.
inline constexpr double kDsssEvmLimitPercent = 35;

class DsssReceiver {
 public:
  // samples_per_chip: the sample rate over 11 MHz (any value from 1 up).
  explicit DsssReceiver(double samples_per_chip);
  // Finds and decodes the first burst whose SYNC starts at or after `from`
  // (the search for the symbol timing spans one SYNC symbol).
  DsssPacket receive(const cplx* x, size_t n, size_t from);
  // Keep each packet's EVM points (for the analysis views); off by default.
  void keep_points(bool on) { keepPoints_ = on; }

 private:
  // One decoding at `spc` samples per chip (os_ for the nominal clock).
  DsssPacket decode(const cplx* x, size_t n, size_t from, double spc);
  double os_;
  PbccDecoder pbcc_;
  std::vector<cplx> chips_;    // every chip or symbol used, for the EVM
  std::vector<int> grid_;      // constellation order of each: 4 or 8
  std::vector<double> times_;  // the time of each, in samples
  std::vector<cplx> ideal_;    // the point each was decided to be, as received (turned back)
  bool keepPoints_ = false;
};

}  // namespace tarvio::verify
