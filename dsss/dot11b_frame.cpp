// One IEEE 802.11b burst: scrambling, DSSS/CCK/PBCC modulation at 11 Mchip/s,
// power ramps, oversampling, circular baseband filtering, mean removal, idle
// interval, pad, spectrum mirroring and the two marker rows.
#include "dsss/dot11b_frame.h"

#include <stdexcept>
#include <utility>

#include "dsss/dot11b_cck.h"
#include "dsss/dot11b_dsss_mod.h"
#include "dsss/dot11b_header.h"
#include "dsss/dot11b_pbcc.h"
#include "dsss/dot11b_plcp_chips.h"
#include "dsss/dot11b_preamble.h"
#include "dsss/dot11b_scrambler.h"
#include "dsss/dsss_burst.h"
#include "dsss/dsss_values.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

void check_rate(double dataRate) {
  if (dataRate != 1 && dataRate != 2 && dataRate != 5.5 && dataRate != 11)
    throw std::invalid_argument("Unsupported 802.11b data rate " + Num2Str(dataRate) +
                                " Mbit/s: allowed are 1, 2, 5.5 and 11.");
}

void append(CVec& to, const CVec& from) { to.insert(to.end(), from.begin(), from.end()); }

}  // namespace

Frame Dot11b_FRAME(const Bits& databits, double dataRate, double highRateMod, double preambleType, double clkLocked,
                   double scramblerActive, double encoderActive, double generationMode, double idleSamples,
                   double rampType, double rampLength, double OverSampling, double FilterType, double FilterFactor,
                   double taps, double MirrorSpectrum, const RVec& filterCoeffs) {
  check_rate(dataRate);
  const bool framed = generationMode == 1;
  if (!framed && generationMode != 0)
    throw std::invalid_argument("Unsupported generation mode " + Num2Str(generationMode) +
                                ": allowed are 1 (framed) and 0 (unframed).");
  const bool pbcc = highRateMod != 0;
  // Validate everything that is only used later, before doing any work.
  const DsssOversampling os = dsss_oversampling(OverSampling);
  const RVec h = dsss_filter_taps(FilterType, taps, FilterFactor, OverSampling, static_cast<double>(os.samplesPerChip),
                                  filterCoeffs);

  // Steps 1-2: frame row and scrambling.
  Bits frame;
  size_t headerPtr = 0;
  if (framed) {
    frame = Dot11b_PREAMBLE(preambleType);
    headerPtr = frame.size();
    // The modulation selection belongs to 5.5 and 11 Mbit/s only; at 1 and 2
    // Mbit/s a PBCC setting left over from a high rate must not mark the
    // header as PBCC or add the PBCC tail octet to LENGTH.
    const double headerMod = (pbcc && dataRate >= 5.5) ? 1 : 0;
    const Bits header = Dot11b_HEADER(static_cast<double>(databits.size()), dataRate, headerMod, clkLocked);
    frame.insert(frame.end(), header.begin(), header.end());
  }
  frame.insert(frame.end(), databits.begin(), databits.end());
  frame = Dot11b_Scrambler(scramblerActive, preambleType, frame);

  // Steps 3-6: modulation, the phase carried from section to section.
  CVec modSignal;
  cplx phase = kDot11bInitialPhase;
  const size_t payloadStart = framed ? headerPtr + 48 : 0;
  if (framed) {
    const PlcpChips plcp = dot11b_plcp_chips(frame, preambleType);
    modSignal.reserve(plcp.preamble.size() + plcp.header.size() + 11 * databits.size());
    append(modSignal, plcp.preamble);
    append(modSignal, plcp.header);
    phase = plcp.lastSymbol;
  }
  const Bits payloadBits(frame.begin() + static_cast<std::ptrdiff_t>(payloadStart), frame.end());
  if (!payloadBits.empty()) {
    if (dataRate == 1) {
      append(modSignal, Dot11b_1Mbps(payloadBits, phase).output);
    } else if (dataRate == 2) {
      append(modSignal, Dot11b_2Mbps(payloadBits, phase).output);
    } else if (pbcc) {
      // PBCC takes its phase reference from the last header chip (the last
      // header symbol times the last Barker chip, -1), not from the symbol.
      if (framed) phase = modSignal.back();
      append(modSignal, Dot11b_PBCC(payloadBits, dataRate, encoderActive, phase));
    } else {
      append(modSignal, Dot11b_CCK(payloadBits, dataRate, phase));
    }
  }

  // Step 7: power ramps (framed mode only).
  const DsssRamp ramped = dsss_power_ramp(modSignal, rampType, rampLength, OverSampling, generationMode);

  // Steps 8-10: oversampling, circular filtering with rotation, mean removal.
  CVec samples =
      dsss_upsample_filter(ramped.signal, os.samplesPerChip, h, dsss_burst_spare(idleSamples, generationMode));
  dsss_remove_mean(samples);

  // Steps 11-15: decimation, idle interval, pad, mirroring, markers.
  return dsss_finish_burst(std::move(samples), os.decimateRate, idleSamples, generationMode, ramped.markerRamp,
                           MirrorSpectrum);
}

TARVIO_OP(
    "Dot11b_FRAME", 16, 2,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11b_FRAME";
      auto d = [&](size_t i) { return arg_required(in, i, op).to_double(); };
      // The filter factor and length may be left empty: the parameter set's
      // values are used then.
      const Parameters& p = state().parameters;
      const double factor = arg_double(in, 13, p.FilterFactor);
      const double taps = arg_double(in, 14, p.FilterTaps * p.OverSampling);
      const Frame f = Dot11b_FRAME(arg_required(in, 0, op).to_bits(), d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8),
                                   d(9), d(10), d(11), d(12), factor, taps, d(15), state().parameters.filterCoeffs);
      return {Value::complex_row(f.waveform), Value::markers(f.markers)};
    },
    "[waveform, events] = Dot11b_FRAME(DATAbits, DATArate, highRateMod, preambleType, locked, scramblerActive, "
    "encoderActive, generationMode, idleSamples, rampType, rampLength, oversamplingRate, filterType, "
    "filterFactor, filterTaps, MirrorSpectrum): one 802.11b burst");

}  // namespace tarvio
