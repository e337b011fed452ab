// The analysis of a capture: its bursts found against the noise floor, each
// read with margins, turned to its centre frequency, its family told from
// the signal (or given), resampled to the rate of that family's receiver
// and decoded and measured by the verification's receivers, without a
// parameter set. On top of the verification's judgement the analysis
// checks what a capture of another transmitter needs: the carrier and
// symbol-clock frequency tolerances, bursts cut by the capture's ends,
// bursts of neither family, and bit errors against a known payload.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analyze/burst_scan.h"
#include "analyze/capture_source.h"
#include "verify/evm_rows.h"
#include "verify/packet_view.h"
#include "verify/verifier.h"

namespace tarvio::analyze {

struct AnalyzeOptions {
  double centerOffsetHz = 0;               // where the signal sits in the capture
  std::optional<verify::Family> family;    // none: told from each burst
  unsigned threads = 1;
  double carrierHz = 0;                    // the channel's carrier, 0 when not known
  // The PSDUs the packets may carry (with or without FCS): each packet's
  // bit errors are counted against the nearest of them.
  std::vector<Bits> payloads;
  // Keep what an analyser draws of every packet (AnalyzedPacket::view):
  // its points, spectrum and power against time. Off for the command's
  // report, on for the analysis pictures and window.
  bool keepViews = false;
};

struct AnalyzedPacket {
  verify::PacketCheck check;  // start/end in capture samples
  size_t burst = 0;           // burst number, from 0
  double seconds = 0;         // the packet's start in the capture
  double rxRate = 0;          // the rate it was decoded at
  long bitErrors = -1;        // against the payload, -1 when not compared
  size_t bitsCompared = 0;
  double ofdmScore = 0, dsssScore = 0;  // the family figures of its burst
  bool foreign = false;       // a burst of neither family
  std::optional<verify::PacketView> view;  // with AnalyzeOptions::keepViews, times from the burst's read
  verify::EvmRows evm;                     // per symbol and sub-carrier (OFDM) or 1000-chip block (DSSS)
};

struct Analysis {
  double sampleRate = 0;
  size_t samples = 0;
  BurstScan scan;
  std::vector<AnalyzedPacket> packets;  // in capture order, numbered from 0
  bool pass() const;
};

// The frequency tolerances the judgement applies: +-20 ppm (OFDM) or
// +-25 ppm (DSSS) of the carrier; of the highest channel of the family's
// bands (5825 MHz, 2484 MHz) when the carrier is not known, so that an
// unknown carrier never fails a packet that could be in tolerance.
double carrier_tolerance_hz(verify::Family family, double carrier_hz);

// The bits of a payload file: each octet least significant bit first.
Bits payload_bits(const std::string& bytes);

Analysis analyze_capture(const CaptureSource& src, const AnalyzeOptions& options,
                         const std::function<void(size_t, size_t)>& progress = {});

}  // namespace tarvio::analyze
