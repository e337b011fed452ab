// The `Impairments` record: the transmitter and channel impairments laid on
// every packet after the multipath fading, in a fixed order (PA, IQ, DC,
// phase noise, CFO and clock, noise; see dsp/impairment_chain.h). Every
// field's default is "off", and with all of them off the packets are left
// untouched, bit for bit. Like the other records it declares its fields once
// with meaning, unit and values, which drive --set, file loading, the
// dialog's entries, `tarvio-cli fields` and docs/parameters.md.
#pragma once

#include <vector>

#include "records/records.h"

namespace tarvio {

// Power amplifier: Rapp AM/AM with an AM/PM term.
struct PowerAmplifier {
  double Smoothness = 2;                // Rapp p
  double Saturation = FieldRule::kInf;  // dB re the burst's rms amplitude; Inf = no PA
  double AMPM = 0;                      // degrees at saturation
};

struct Impairments {
  double SNR = FieldRule::kInf;                                             // dB; Inf = no noise
  double NoiseBandwidth = FieldRule::kInf;                                  // Hz; Inf = the whole sample rate
  double CFO = 0;                                                           // Hz
  double PhaseOffset = 0;                                                   // degrees
  double ClockPpm = 0;                                                      // ppm
  double LockedClocks = 0;                                                  // flag
  double IQGain = 0;                                                        // dB
  double IQPhase = 0;                                                       // degrees
  double IQSkew = 0;                                                        // ns
  std::vector<double> DCOffset = std::vector<double>(2, -FieldRule::kInf);  // dBc, I and Q
  std::vector<double> PhaseNoise;                                           // offset Hz, dBc/Hz pairs
  PowerAmplifier PA;
  double ClipPAPR = FieldRule::kInf;  // dB; Inf = no clipping
  double Seed = 0;
};

// The largest seed: every whole number up to it is held exactly.
inline constexpr double kMaxImpairmentSeed = 9007199254740991;  // 2^53 - 1

template <class F>
void for_each_field(PowerAmplifier& r, F&& f) {
  FieldVisitor<F> v{f};
  v("Smoothness", r.Smoothness,
    {.meaning = "Rapp smoothness p of the AM/AM curve |y| = |x| / (1 + (|x|/Asat)^(2p))^(1/(2p)); large p is a hard "
                "limiter",
     .values = "0.1 to 100",
     .rule = range(0.1, 100)});
  v("Saturation", r.Saturation,
    {.meaning = "output saturation amplitude Asat relative to the burst's rms amplitude at the PA's input",
     .unit = "dB",
     .values = "-20 to 40, or Inf = no power amplifier",
     .rule = or_off(range(-20, 40), FieldRule::kInf)});
  v("AMPM", r.AMPM,
    {.meaning = "AM/PM: phase added at the saturation amplitude, 2 AMPM u^2 / (1 + u^2) with u = |x|/Asat",
     .unit = "degrees",
     .values = "-180 to 180",
     .rule = range(-180, 180)});
}

template <class F>
void for_each_field(const PowerAmplifier& r, F&& f) {
  for_each_field(const_cast<PowerAmplifier&>(r), f);
}

template <class F>
void for_each_field(Impairments& r, F&& f) {
  FieldVisitor<F> v{f};
  v("SNR", r.SNR,
    {.meaning = "white Gaussian noise added to every packet, idle interval included, at this ratio of the burst's "
                "mean power to the noise power within NoiseBandwidth",
     .unit = "dB",
     .values = "-20 to 200, or Inf = no noise",
     .rule = or_off(range(-20, 200), FieldRule::kInf)});
  v("NoiseBandwidth", r.NoiseBandwidth,
    {.meaning = "bandwidth of the noise, centred on the carrier; a narrower one is noise filtered to it, scaled so "
                "that the SNR within it is SNR",
     .unit = "Hz",
     .values = "above 0; Inf, or the sample rate and above = the whole sample rate",
     .rule = or_off(above(0), FieldRule::kInf)});
  v("CFO", r.CFO,
    {.meaning = "carrier frequency offset: the packets turn at this rate, phase continuous from packet to packet",
     .unit = "Hz",
     .values = "-100e6 to 100e6 (below half the sample rate)",
     .rule = range(-100e6, 100e6)});
  v("PhaseOffset", r.PhaseOffset,
    {.meaning = "carrier phase at the waveform's first sample",
     .unit = "degrees",
     .values = "-360 to 360",
     .rule = range(-360, 360)});
  v("ClockPpm", r.ClockPpm,
    {.meaning = "sample-clock error: each packet's content runs (1 + ClockPpm/1e6) times as fast, resampled about "
                "its first sample with a band-limited interpolator; the packet keeps its length",
     .unit = "ppm",
     .values = "-1000 to 1000",
     .rule = range(-1000, 1000)});
  v("LockedClocks", r.LockedClocks,
    {.meaning = "sample clock and carrier from one reference: the carrier also moves by ClockPpm x "
                "SigGenSettings.Frequency",
     .values = "0 = independent, 1 = locked",
     .rule = flag()});
  v("IQGain", r.IQGain,
    {.meaning = "IQ gain imbalance: I amplitude over Q amplitude",
     .unit = "dB",
     .values = "-20 to 20",
     .rule = range(-20, 20)});
  v("IQPhase", r.IQPhase,
    {.meaning = "IQ quadrature error: the I and Q axes stand 90 - IQPhase degrees apart",
     .unit = "degrees",
     .values = "-45 to 45",
     .rule = range(-45, 45)});
  v("IQSkew", r.IQSkew,
    {.meaning = "IQ skew: Q delayed against I (a band-limited fractional delay)",
     .unit = "ns",
     .values = "-1000 to 1000",
     .rule = range(-1000, 1000)});
  v("DCOffset", r.DCOffset,
    {.meaning = "DC (carrier leakage) added to I and to Q, relative to the burst's rms amplitude, idle interval "
                "included",
     .unit = "dBc",
     .values = "row of 2 values [I Q], each -200 to 20, or -Inf = none",
     .rule = elements(or_off(range(-200, 20), -FieldRule::kInf), 2)});
  v("PhaseNoise", r.PhaseNoise,
    {.meaning = "phase-noise profile: (offset, level) pairs, e.g. [1e3 -80 1e4 -90 1e5 -100]; the level is "
                "interpolated linearly in dB over log offset and is zero outside the first and last offsets",
     .unit = "Hz, dBc/Hz",
     .values = "empty = none, or pairs with offsets above 0 in rising order and levels -200 to 0",
     .rule = range(-200, FieldRule::kInf)});
  v("PA", r.PA, {.meaning = "power amplifier: Rapp AM/AM and AM/PM (off while Saturation is Inf)"});
  v("ClipPAPR", r.ClipPAPR,
    {.meaning = "clipping before the power amplifier: magnitudes above the burst's rms amplitude plus ClipPAPR are "
                "held at it, the phase kept",
     .unit = "dB",
     .values = "0 to 40, or Inf = no clipping",
     .rule = or_off(range(0, 40), FieldRule::kInf)});
  v("Seed", r.Seed,
    {.meaning = "seed of the noise and the phase noise: the same seed gives the same samples on every machine and "
                "thread count",
     .values = "whole number 0 to 2^53 - 1",
     .rule = whole(0, kMaxImpairmentSeed)});
}

template <class F>
void for_each_field(const Impairments& r, F&& f) {
  for_each_field(const_cast<Impairments&>(r), f);
}

// True when any impairment is switched on (the seed alone is not one).
bool any_impairment(const Impairments& m);

}  // namespace tarvio
