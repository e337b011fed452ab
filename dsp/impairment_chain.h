// The impairments chain: what the `Impairments` record lays on each packet
// after the multipath fading, always in this order:
//   1. PA: clipping to ClipPAPR, then the Rapp power amplifier (AM/AM, AM/PM);
//   2. IQ: gain and phase imbalance, then the skew of Q against I;
//   3. DC offset of I and Q;
//   4. phase noise;
//   5. CFO and clock: the sample-clock error (each packet time-scaled about
//      its first sample), then the carrier offset and phase offset;
//   6. noise (AWGN), idle interval included.
// Levels given relative to the signal refer to the burst's mean power (the
// samples of marker row 2, or the whole packet when it marks none) at the
// input of their step: ClipPAPR and PA.Saturation at the PA's input, the DC
// offset at its step's input, SNR at the noise step's input.
//
// Across packets: the carrier is continuous, its phase at a packet's first
// sample computed from that sample's absolute position in the waveform
// (packet index x packet length); the noise and the phase noise come from
// counter-based streams keyed by Impairments.Seed and indexed by that same
// absolute position, so they run on without a seam from packet to packet and
// a packet can be made on any thread in any order. The clock error scales
// each packet's content about its first sample and keeps the packet's length:
// the idle interval absorbs the change (a content stretched past the end is
// cut there). With LockedClocks = 1 the carrier also moves by ClockPpm x the
// carrier frequency.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "dsp/awgn.h"
#include "dsp/carrier_rotation.h"
#include "dsp/phase_noise.h"
#include "records/impairments.h"
#include "runtime/types.h"

namespace tarvio {

// The chain for one run: the record, the sample rate and the carrier, with
// the filters designed once; shared read-only by the generating threads.
// The narrowest noise band is the sample rate divided by this.
inline constexpr double kNarrowestNoiseBand = 200;

class ImpairmentChain {
 public:
  // Throws std::invalid_argument when the sample rate is not a positive
  // number, the CFO lies at or beyond half of it, or the noise bandwidth is
  // narrower than the sample rate / kNarrowestNoiseBand.
  ImpairmentChain(const Impairments& m, double sample_rate, double carrier_hz);
  ImpairmentChain(const ImpairmentChain&) = delete;
  ImpairmentChain& operator=(const ImpairmentChain&) = delete;
  ~ImpairmentChain();

  // Anything to do at all.
  bool active() const { return active_; }
  // Packets of equal bits differ (noise, a turning carrier, phase noise), so
  // a packet cannot stand in for the next.
  bool varies_per_packet() const { return varies_; }
  // The carrier offset in force, ClockPpm x carrier included when locked.
  double carrier_offset_hz() const { return cfo_hz_; }
  // The integrated phase error of the phase-noise profile (0 without one).
  double phase_noise_rms_deg() const { return phase_noise_rms_deg_; }

  // Impairs one packet in place; `first_sample` is the absolute position of
  // its first sample in the waveform. Scratch buffers are kept per thread.
  void apply(Frame& packet, uint64_t first_sample) const;
  // apply() in two halves, for packets that share their clean samples:
  // steps 1 to 3 do not depend on the packet's place, so they can be laid
  // once on the shared frame (apply_fixed) and steps 4 to 6 on each copy
  // (apply_placed). Together they are apply(), sample for sample.
  void apply_fixed(Frame& packet) const;
  void apply_placed(Frame& packet, uint64_t first_sample) const;

 private:
  Impairments m_;
  double fs_;
  double cfo_hz_ = 0;
  double phase_noise_rms_deg_ = 0;
  bool active_ = false;
  bool varies_ = false;
  std::unique_ptr<PhaseNoise> phase_noise_;
  std::unique_ptr<Awgn> awgn_;
  std::unique_ptr<CarrierRotation> rotation_;
};

// The mean power of the burst: of the samples that marker row 2 marks, or
// of all samples when it marks none; 0 for an empty row.
double burst_mean_power(const CVec& x, const Markers& markers);

// The same summed piece by piece, in sample order (so the same figure).
class BurstPowerSum {
 public:
  // x[0..n) with their marks (row 2; null: none marked).
  void add(const cplx* x, const uint8_t* marks, size_t n);
  double mean() const;

 private:
  double sum_ = 0, all_ = 0;
  size_t marked_ = 0, count_ = 0;
};

}  // namespace tarvio
