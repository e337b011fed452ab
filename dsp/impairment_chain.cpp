// The impairments chain, step by step on a packet in place.
#include "dsp/impairment_chain.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "dsp/band_limited_interpolator.h"
#include "dsp/carrier_rotation.h"
#include "dsp/dc_offset.h"
#include "dsp/iq_imbalance.h"
#include "dsp/power_amplifier.h"
#include "runtime/number_text.h"

namespace tarvio {

namespace {

// The buffers one generating thread reuses from packet to packet.
struct Scratch {
  CVec a, b;
  RVec r;
};

Scratch& scratch() {
  thread_local Scratch s;
  return s;
}

}  // namespace

double burst_mean_power(const CVec& x, const Markers& markers) {
  double sum = 0, all = 0;
  size_t marked = 0;
  const bool have = markers.row2.size() == x.size();
  for (size_t k = 0; k < x.size(); ++k) {
    const double p = std::norm(x[k]);
    all += p;
    if (have && markers.row2[k]) sum += p, ++marked;
  }
  if (marked > 0) return sum / static_cast<double>(marked);
  return x.empty() ? 0 : all / static_cast<double>(x.size());
}

ImpairmentChain::ImpairmentChain(const Impairments& m, double sample_rate, double carrier_hz)
    : m_(m), fs_(sample_rate) {
  active_ = any_impairment(m);
  if (!active_) return;
  if (!(fs_ > 0) || !std::isfinite(fs_))
    throw std::invalid_argument("impairments: the sample rate must be a positive number, got " + Num2Str(fs_));
  cfo_hz_ = m.CFO + (m.LockedClocks == 1 ? m.ClockPpm * 1e-6 * carrier_hz : 0);
  if (!(std::fabs(cfo_hz_) < fs_ / 2))
    throw std::invalid_argument("Impairments.CFO: the carrier offset of " + Num2Str(cfo_hz_) +
                                " Hz must stay below half the sample rate (" + Num2Str(fs_ / 2) + " Hz)");
  const auto seed = static_cast<uint64_t>(m.Seed);
  if (!m.PhaseNoise.empty()) {
    phase_noise_ = std::make_unique<PhaseNoise>(m.PhaseNoise, fs_, seed);
    phase_noise_rms_deg_ = phase_noise_rms_degrees(m.PhaseNoise, fs_);
  }
  if (std::isfinite(m.SNR)) {
    // The noise filter (at most 8191 taps) holds its 0.1 B transition down
    // to B = fs/200; a narrower band would spread the noise wider than set.
    if (m.NoiseBandwidth < fs_ / kNarrowestNoiseBand)
      throw std::invalid_argument("Impairments.NoiseBandwidth: " + Num2Str(m.NoiseBandwidth) +
                                  " Hz is narrower than the noise filter makes at the sample rate of " + Num2Str(fs_) +
                                  " Hz; it takes " + Num2Str(fs_ / kNarrowestNoiseBand) +
                                  " Hz (the sample rate / 200) or more");
    awgn_ = std::make_unique<Awgn>(fs_, m.NoiseBandwidth, seed);
  }
  varies_ = awgn_ != nullptr || phase_noise_ != nullptr || cfo_hz_ != 0;
}

ImpairmentChain::~ImpairmentChain() = default;

void ImpairmentChain::apply(Frame& packet, uint64_t first_sample) const {
  if (!active_) return;
  CVec& x = packet.waveform;
  const size_t n = x.size();
  if (n == 0) return;
  Scratch& s = scratch();

  // 1. PA
  if (std::isfinite(m_.ClipPAPR) || std::isfinite(m_.PA.Saturation)) {
    const double rms = std::sqrt(burst_mean_power(x, packet.markers));
    if (std::isfinite(m_.ClipPAPR)) clip_magnitude(x.data(), n, rms * std::pow(10.0, m_.ClipPAPR / 20));
    if (std::isfinite(m_.PA.Saturation) && rms > 0)
      rapp_pa(x.data(), n, rms * std::pow(10.0, m_.PA.Saturation / 20), m_.PA.Smoothness, m_.PA.AMPM);
  }
  // 2. IQ
  if (m_.IQGain != 0 || m_.IQPhase != 0) iq_imbalance(x.data(), n, m_.IQGain, m_.IQPhase);
  if (m_.IQSkew != 0) iq_skew(x.data(), n, m_.IQSkew * 1e-9 * fs_, s.r);
  // 3. DC
  if (std::isfinite(m_.DCOffset[0]) || std::isfinite(m_.DCOffset[1]))
    dc_offset(x.data(), n, std::sqrt(burst_mean_power(x, packet.markers)), m_.DCOffset[0], m_.DCOffset[1]);
  // 4. phase noise
  if (phase_noise_) phase_noise_->apply(x.data(), n, first_sample, s.a);
  // 5. CFO and clock
  if (m_.ClockPpm != 0) {
    s.b.resize(n);
    BandLimitedInterpolator::instance().time_scale(x.data(), n, 1 + m_.ClockPpm * 1e-6, s.b.data());
    std::copy(s.b.begin(), s.b.end(), x.begin());
  }
  if (cfo_hz_ != 0 || m_.PhaseOffset != 0) rotate_carrier(x.data(), n, cfo_hz_ / fs_, m_.PhaseOffset, first_sample);
  // 6. noise
  if (awgn_) {
    const double power = burst_mean_power(x, packet.markers) * std::pow(10.0, -m_.SNR / 10);
    awgn_->add(x.data(), n, first_sample, power, s.a);
  }
}

}  // namespace tarvio
