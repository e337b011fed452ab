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

// The piece that passes fused over a packet take at a time: small enough to
// stay in the first-level cache between them, a whole number of the
// carrier's 256-sample blocks.
constexpr size_t kPiece = 16 * CarrierRotation::kBlock;

// The buffers one generating thread reuses from packet to packet.
struct Scratch {
  CVec a, b;
  RVec r;
};

Scratch& scratch() {
  thread_local Scratch s;
  return s;
}

// Runs step(samples, count, offset) over the packet a piece at a time and
// sums the burst's power behind it while the piece is in cache: the power
// burst_mean_power gives after the step.
template <typename Step>
double step_then_power(Frame& packet, const Step& step) {
  CVec& x = packet.waveform;
  const size_t n = x.size();
  const uint8_t* marks = packet.markers.row2.size() == n ? packet.markers.row2.data() : nullptr;
  BurstPowerSum sum;
  for (size_t b = 0; b < n; b += kPiece) {
    const size_t len = std::min(n - b, kPiece);
    step(x.data() + b, len, b);
    sum.add(x.data() + b, marks ? marks + b : nullptr, len);
  }
  return sum.mean();
}

}  // namespace

void BurstPowerSum::add(const cplx* x, const uint8_t* marks, size_t n) {
  // In locals: the marks, being bytes, could alias the members.
  double sum = sum_, all = all_;
  size_t marked = marked_;
  if (marks) {
    for (size_t k = 0; k < n; ++k) {
      const double p = std::norm(x[k]);
      all += p;
      if (marks[k]) sum += p, ++marked;
    }
  } else {
    for (size_t k = 0; k < n; ++k) all += std::norm(x[k]);
  }
  sum_ = sum;
  all_ = all;
  marked_ = marked;
  count_ += n;
}

double BurstPowerSum::mean() const {
  if (marked_ > 0) return sum_ / static_cast<double>(marked_);
  return count_ == 0 ? 0 : all_ / static_cast<double>(count_);
}

double burst_mean_power(const CVec& x, const Markers& markers) {
  BurstPowerSum p;
  p.add(x.data(), markers.row2.size() == x.size() ? markers.row2.data() : nullptr, x.size());
  return p.mean();
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
  if (cfo_hz_ != 0 || m.PhaseOffset != 0) rotation_ = std::make_unique<CarrierRotation>(cfo_hz_ / fs_, m.PhaseOffset);
  varies_ = awgn_ != nullptr || phase_noise_ != nullptr || cfo_hz_ != 0;
}

ImpairmentChain::~ImpairmentChain() = default;

void ImpairmentChain::apply(Frame& packet, uint64_t first_sample) const {
  apply_fixed(packet);
  apply_placed(packet, first_sample);
}

void ImpairmentChain::apply_fixed(Frame& packet) const {
  if (!active_) return;
  CVec& x = packet.waveform;
  const size_t n = x.size();
  if (n == 0) return;
  // 1. PA
  if (std::isfinite(m_.ClipPAPR) || std::isfinite(m_.PA.Saturation)) {
    const double rms = std::sqrt(burst_mean_power(x, packet.markers));
    if (std::isfinite(m_.ClipPAPR)) clip_magnitude(x.data(), n, rms * std::pow(10.0, m_.ClipPAPR / 20));
    if (std::isfinite(m_.PA.Saturation) && rms > 0)
      rapp_pa(x.data(), n, rms * std::pow(10.0, m_.PA.Saturation / 20), m_.PA.Smoothness, m_.PA.AMPM);
  }
  // 2. IQ, and 3. DC against the burst's power after it: without a skew,
  // that power is summed piece by piece behind the imbalance.
  const bool iq = m_.IQGain != 0 || m_.IQPhase != 0;
  const bool dc = std::isfinite(m_.DCOffset[0]) || std::isfinite(m_.DCOffset[1]);
  double dc_power = 0;
  if (iq && dc && m_.IQSkew == 0) {
    dc_power =
        step_then_power(packet, [&](cplx* p, size_t len, size_t) { iq_imbalance(p, len, m_.IQGain, m_.IQPhase); });
  } else {
    if (iq) iq_imbalance(x.data(), n, m_.IQGain, m_.IQPhase);
    if (m_.IQSkew != 0) iq_skew(x.data(), n, m_.IQSkew * 1e-9 * fs_, scratch().r);
    if (dc) dc_power = burst_mean_power(x, packet.markers);
  }
  if (dc) dc_offset(x.data(), n, std::sqrt(dc_power), m_.DCOffset[0], m_.DCOffset[1]);
}

void ImpairmentChain::apply_placed(Frame& packet, uint64_t first_sample) const {
  if (!active_) return;
  CVec& x = packet.waveform;
  const size_t n = x.size();
  if (n == 0) return;
  Scratch& s = scratch();
  // 4. phase noise
  if (phase_noise_) phase_noise_->apply(x.data(), n, first_sample, s.a);
  // 5. CFO and clock
  if (m_.ClockPpm != 0) {
    s.b.resize(n);
    BandLimitedInterpolator::instance().time_scale(x.data(), n, 1 + m_.ClockPpm * 1e-6, s.b.data());
    std::copy(s.b.begin(), s.b.end(), x.begin());
  }
  if (!awgn_) {
    if (rotation_) rotation_->apply(x.data(), x.data(), n, first_sample);
    return;
  }
  // 6. noise, at SNR below the burst's power at this step's input; with a
  // turning carrier that power is summed piece by piece behind the turn,
  // while the samples are at hand, in the order burst_mean_power sums it.
  double power = 0;
  if (rotation_) {
    power = step_then_power(packet,
                            [&](cplx* p, size_t len, size_t at) { rotation_->apply(p, p, len, first_sample + at); });
  } else {
    power = burst_mean_power(x, packet.markers);
  }
  awgn_->add(x.data(), n, first_sample, power * std::pow(10.0, -m_.SNR / 10), s.a);
}

}  // namespace tarvio
