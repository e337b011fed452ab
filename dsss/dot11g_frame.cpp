// Assembly of one ERP-PBCC burst: PLCP preamble and header, the clock-switch
// section and change of symbol clock at 33 Mbit/s, the 8PSK payload, ramps,
// oversampling, filtering and the finishing steps shared with 802.11b.
#include "dsss/dot11g_frame.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "dsss/clk_struct.h"
#include "dsss/dot11b_dsss_mod.h"
#include "dsss/dot11b_plcp_chips.h"
#include "dsss/dot11b_preamble.h"
#include "dsss/dot11b_scrambler.h"
#include "dsss/dot11g_header.h"
#include "dsss/dot11g_pbcc.h"
#include "dsss/dsss_burst.h"
#include "dsss/dsss_values.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

// Clock-switch bits sent at the 11 MHz chip clock: the three tail bits.
constexpr size_t kPreSwitchClkChips = 3 * 11;

// At 33 Mbit/s the post-switch row is upsampled by OverSampling * 2/3 (or by
// twice that when a half-integer OverSampling is doubled); it has to be a
// whole number, so OverSampling must be a multiple of 1.5.
void check_33_oversampling(double OverSampling) {
  const double twice = 2 * OverSampling;
  if (!(twice >= 3) || twice != std::floor(twice) || std::fmod(twice, 3) != 0)
    throw std::invalid_argument(
        "Dot11g_FRAME: at 33 Mbit/s OverSampling must be a multiple of 1.5 (1.5, 3, 4.5, 6, "
        "7.5, 9, ...) so that the 16.5 MHz symbols get a whole number of samples; got " +
        Num2Str(OverSampling) + ".");
}

}  // namespace

Frame Dot11g_FRAME(const Bits& databits, double clkStruct, double dataRate, double highRateMod, double preambleType,
                   double clkLocked, double scramblerActive, double encoderActive, double generationMode,
                   double idleSamples, double rampType, double rampLength, double OverSampling, double FilterType,
                   double FilterFactor, double taps, double MirrorSpectrum, const RVec& filterCoeffs) {
  if (dataRate != 22 && dataRate != 33)
    throw std::invalid_argument("Dot11g_FRAME: data rate " + Num2Str(dataRate) +
                                " Mbit/s is not an ERP-PBCC rate; allowed are 22 and 33 Mbit/s.");
  if (generationMode != 0 && generationMode != 1)
    throw std::invalid_argument("Dot11g_FRAME: generationMode must be 1 (framed) or 0 (unframed); got " +
                                Num2Str(generationMode) + ".");
  const bool framed = generationMode == 1;
  const bool rate33 = dataRate == 33;
  if (rate33) check_33_oversampling(OverSampling);
  const bool clockSwitch = rate33 && framed;

  // Bit row [preamble, header, PSDU], scrambled as one; the clock-switch bits
  // are sent unscrambled.
  Bits frame;
  size_t payloadStart = 0;
  if (framed) {
    frame = Dot11b_PREAMBLE(preambleType);
    const Bits header = Dot11g_HEADER(double(databits.size()), dataRate, highRateMod, clkLocked);
    frame.insert(frame.end(), header.begin(), header.end());
    payloadStart = frame.size();
  }
  frame.insert(frame.end(), databits.begin(), databits.end());
  frame = Dot11b_Scrambler(scramblerActive, preambleType, frame);

  // Unframed 33 Mbit/s runs wholly at the post-switch clock.
  const double oversamplingRate = (rate33 && !framed) ? OverSampling * 2 / 3 : OverSampling;

  CVec modSignal;
  cplx phase = kDot11bInitialPhase;
  size_t clk11Chips = 0;  // chips before the switch, without the ramp-up
  if (framed) {
    PlcpChips plcp = dot11b_plcp_chips(frame, preambleType);
    // The payload's (or clock-switch section's) phase reference is the last
    // header chip, not the last header symbol.
    phase = plcp.header.back();
    modSignal.reserve(plcp.preamble.size() + plcp.header.size() + 165 + databits.size() / 2 + 8);
    modSignal.insert(modSignal.end(), plcp.preamble.begin(), plcp.preamble.end());
    modSignal.insert(modSignal.end(), plcp.header.begin(), plcp.header.end());
    if (clockSwitch) {
      clk11Chips = modSignal.size() + kPreSwitchClkChips;
      const DsssChips cs = Dot11b_1Mbps(clk_struct_bits(clkStruct), phase);
      modSignal.insert(modSignal.end(), cs.output.begin(), cs.output.end());
      phase = cs.output.back();
    }
  }
  if (frame.size() > payloadStart) {
    const Bits payloadBits(frame.begin() + static_cast<std::ptrdiff_t>(payloadStart), frame.end());
    const CVec payload = Dot11g_PBCC(payloadBits, dataRate, encoderActive, phase);
    modSignal.insert(modSignal.end(), payload.begin(), payload.end());
  }

  const DsssRamp ramped = dsss_power_ramp(modSignal, rampType, rampLength, oversamplingRate, generationMode);
  const DsssOversampling os = dsss_oversampling(oversamplingRate);
  if (!(FilterType >= 0))
    throw std::invalid_argument(
        "Dot11g_FRAME: FilterType must be 0 or more (0 none, 1 Gaussian, 2 root raised "
        "cosine, 3 brick, 4 user taps); got " +
        Num2Str(FilterType) + ".");
  if (ramped.signal.empty()) return Frame{};  // unframed burst without bits

  CVec filtered;
  if (!clockSwitch) {
    const RVec h =
        dsss_filter_taps(FilterType, taps, FilterFactor, OverSampling, double(os.samplesPerChip), filterCoeffs);
    filtered = dsss_upsample_filter(ramped.signal, os.samplesPerChip, h, dsss_burst_spare(idleSamples, generationMode));
    dsss_remove_mean(filtered);
  } else {
    // Change of symbol clock after the third clock-switch bit: every chip is
    // taken once at each clock; each row is filtered (with taps designed for
    // its own samples per symbol) and mean-corrected on its own, then the
    // 11 MHz row up to the switch is joined to the 16.5 MHz row after it.
    const size_t spcA = os.samplesPerChip;
    const size_t spcB = spcA * 2 / 3;
    const size_t switchChip = ramped.preLength + clk11Chips;
    const RVec hA = dsss_filter_taps(FilterType, taps, FilterFactor, OverSampling, double(spcA), filterCoeffs);
    const RVec hB = dsss_filter_taps(FilterType, taps, FilterFactor, OverSampling, double(spcB), filterCoeffs);
    CVec rowA = dsss_upsample_filter(ramped.signal, spcA, hA);
    CVec rowB = dsss_upsample_filter(ramped.signal, spcB, hB);
    dsss_remove_mean(rowA);
    dsss_remove_mean(rowB);
    const size_t endA = switchChip * spcA;
    const size_t startB = switchChip * spcB;
    filtered.reserve(endA + rowB.size() - startB);
    filtered.assign(rowA.begin(), rowA.begin() + static_cast<std::ptrdiff_t>(endA));
    filtered.insert(filtered.end(), rowB.begin() + static_cast<std::ptrdiff_t>(startB), rowB.end());
  }
  return dsss_finish_burst(filtered, os.decimateRate, idleSamples, generationMode, ramped.markerRamp, MirrorSpectrum);
}

namespace {

TARVIO_OP(
    "Dot11g_FRAME", 17, 2,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11g_FRAME";
      auto d = [&](size_t i) { return arg_required(in, i, op).to_double(); };
      const Frame f =
          Dot11g_FRAME(arg_required(in, 0, op).to_bits(), d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10),
                       d(11), d(12), d(13), d(14), d(15), d(16), state().parameters.filterCoeffs);
      return {Value::complex_row(f.waveform), Value::markers(f.markers)};
    },
    "[waveform, events] = Dot11g_FRAME(DATAbits, clkStruct, DATArate, highRateMod, preambleType, locked, "
    "scramblerActive, encoderActive, generationMode, idleSamples, rampType, rampLength, oversamplingRate, filterType, "
    "filterFactor, filterTaps, MirrorSpectrum): one ERP-PBCC burst of 22 or 33 Mbit/s with its marker rows");

}  // namespace

}  // namespace tarvio
