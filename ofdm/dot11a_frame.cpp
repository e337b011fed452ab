// Assembly of one OFDM packet waveform: preamble, SIGNAL and DATA symbols,
// idle interval, even-length pad, circular baseband filtering, spectrum
// mirroring and the two marker rows; and the registered Dot11a_FRAME.
#include "ofdm/dot11a_frame.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "dsp/circular_filter.h"
#include "ofdm/dot11a_carrier_mapping.h"
#include "ofdm/dot11a_data.h"
#include "ofdm/dot11a_signal.h"
#include "ofdm/dot11a_time_domain.h"
#include "ofdm/dot11a_training.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

// The largest packet the 12-bit LENGTH field can announce: 4095 octets.
constexpr size_t max_packet_bits = 32760;

size_t idle_count(double idleSamples) {
  if (!(idleSamples >= 0) || !std::isfinite(idleSamples) || idleSamples != std::floor(idleSamples))
    throw std::invalid_argument("Dot11a_FRAME: idleSamples must be a whole number of samples, 0 or more, got " +
                                std::to_string(idleSamples));
  return static_cast<size_t>(idleSamples);
}

// A packet too long for the LENGTH field is replaced by the idle interval
// alone. The frame keeps at least two samples and an even length, so that
// marker 1 always has its sample and the length rule holds.
Frame idle_only_frame(size_t idle) {
  size_t n = std::max<size_t>(idle, 2);
  n += n % 2;
  Frame f;
  f.waveform.assign(n, cplx(0.0, 0.0));
  f.markers.row1.assign(n, 0);
  f.markers.row1[0] = 1;
  f.markers.row2.assign(n, 0);
  return f;
}

}  // namespace

Frame Dot11a_FRAME(double generationMode, const Bits& databits, double serviceField, double dataRate, double modulation,
                   double encoderRate, double scramblerActive, double scramblerInit, double interleaverActive,
                   const RVec& SubCarriers, double OverSampling, double WindowingLength, double idleSamples,
                   double FilterType, double /*FilterFactor*/, double /*taps*/, double MirrorSpectrum,
                   double sincXcompensation, const RVec& filterCoeffs) {
  const size_t idle = idle_count(idleSamples);
  if (databits.size() > max_packet_bits) return idle_only_frame(idle);

  const bool framed = generationMode != 0;
  const size_t os = dot11a_oversampling(OverSampling, "Dot11a_FRAME");
  const size_t W = dot11a_window_count(WindowingLength, "Dot11a_FRAME", false);
  if (W > 64 * os)
    throw std::invalid_argument("Dot11a_FRAME: WindowingLength must not exceed 64 x OverSampling = " +
                                std::to_string(64 * os) + " samples, got " + std::to_string(W));
  if (framed && databits.size() % 8 != 0)
    throw std::invalid_argument("Dot11a_FRAME: a framed packet must be whole octets, got " +
                                std::to_string(databits.size()) + " bits");
  if (!framed && databits.empty())
    throw std::invalid_argument("Dot11a_FRAME: an unframed packet needs at least one data bit");
  if (SubCarriers.size() != 53)
    throw std::invalid_argument("Dot11a_FRAME: SubCarriers must hold 53 flags (-26..+26), got " +
                                std::to_string(SubCarriers.size()));
  const bool filtered = FilterType >= 0;
  if (filtered && filterCoeffs.empty())
    throw std::invalid_argument("Dot11a_FRAME: the baseband filter has no coefficients");

  const RVec mask = Dot11a_CarrierMapping(SubCarriers, 1);
  const CVec data =
      Dot11a_DATA(generationMode, databits, serviceField, dataRate, modulation, encoderRate, scramblerActive,
                  scramblerInit, interleaverActive, OverSampling, WindowingLength, mask, sincXcompensation);

  CVec samples;
  if (framed) samples = Dot11a_SYNC(OverSampling, WindowingLength, mask, sincXcompensation);
  samples.reserve((framed ? 400 * os + idle : 0) + data.size() + 1);
  if (framed) {
    const CVec sig = Dot11a_SIGNAL(dataRate, static_cast<double>(databits.size() / 8), OverSampling, WindowingLength,
                                   mask, sincXcompensation);
    dot11a_stitch_append(samples, sig.data(), sig.size(), W);
  }
  dot11a_stitch_append(samples, data.data(), data.size(), W);

  if (!framed && W > 0) {
    // The ramp-down tail of the last symbol overlaps the first symbol of the
    // next repetition, just as consecutive symbols overlap.
    const size_t n = samples.size() - W;
    for (size_t i = 0; i < W; ++i) samples[i] += samples[n + i];
    samples.resize(n);
  }

  Frame f;
  const size_t burst = samples.size();
  if (framed && idle > W) samples.resize(burst + (idle - W), cplx(0.0, 0.0));  // the window tail lies in the idle time
  if (samples.size() % 2 != 0) samples.push_back(cplx(0.0, 0.0));
  const size_t M = samples.size();

  if (filtered) {
    // Circular convolution, advanced by floor(L/2) to remove the filter delay.
    f.waveform = circular_filter(samples, filterCoeffs);
    const size_t D = (filterCoeffs.size() / 2) % M;
    std::rotate(f.waveform.begin(), f.waveform.begin() + static_cast<std::ptrdiff_t>(D), f.waveform.end());
  } else {
    f.waveform = std::move(samples);
  }
  if (MirrorSpectrum == 1)
    for (cplx& x : f.waveform) x = std::conj(x);

  f.markers.row1.assign(M, 0);
  f.markers.row1[0] = 1;
  f.markers.row2.assign(M, 0);
  std::fill(f.markers.row2.begin(), f.markers.row2.begin() + static_cast<std::ptrdiff_t>(burst), uint8_t(1));
  return f;
}

TARVIO_OP(
    "Dot11a_FRAME", 18, 2,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11a_FRAME";
      auto num = [&](size_t i) { return arg_required(in, i, op).to_double(); };
      const Frame f = Dot11a_FRAME(num(0), arg_required(in, 1, op).to_bits(), num(2), num(3), num(4), num(5), num(6),
                                   num(7), num(8), arg_required(in, 9, op).to_reals(), num(10), num(11), num(12),
                                   num(13), arg_double(in, 14, 0), arg_double(in, 15, 0), num(16),
                                   arg_double(in, 17, 0), state().parameters.filterCoeffs);
      return {Value::complex_row(f.waveform), Value::markers(f.markers)};
    },
    "[waveform, markers] = Dot11a_FRAME(generationMode, data, serviceField, dataRate, modulation, encoderRate, "
    "scramblerActive, scramblerInit, interleaverActive, subCarrierMask, oversamplingRate, windowLength, "
    "idleSamples, filterType, filterFactor, filterLength, mirrorSpectrum, sincCompensation); the filter taps "
    "are parameters.filterCoeffs");

}  // namespace tarvio
