// The impairments chain: nothing changes when all is off; the fixed order;
// the seed property (a packet is the same on any thread and in any order,
// another seed gives other noise); and self-checks of the noise level, the
// carrier offset, the locked clocks and the clock error.
#include "dsp/impairment_chain.h"

#include <fftw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "dsp/awgn.h"
#include "dsp/carrier_rotation.h"
#include "dsp/dc_offset.h"
#include "dsp/iq_imbalance.h"
#include "dsp/power_amplifier.h"
#include "records/field_info.h"

namespace tarvio {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFs = 20e6;

// Sample k of a burst of a few tones `burst` samples long, then silence.
cplx packet_sample(size_t k, size_t burst) {
  const double t = double(k);
  return k < burst ? 0.3 * std::polar(1.0, 2 * kPi * 0.013 * t) + 0.2 * std::polar(1.0, -2 * kPi * 0.071 * t + 1)
                   : cplx(0, 0);
}

// A burst of a few tones, then an idle interval; marker row 2 marks the burst.
Frame packet(size_t burst = 3000, size_t idle = 1000) {
  Frame f;
  const size_t n = burst + idle;
  f.waveform.assign(n, cplx(0, 0));
  f.markers.row1.assign(n, 0);
  f.markers.row2.assign(n, 0);
  for (size_t k = 0; k < burst; ++k) {
    f.waveform[k] = packet_sample(k, burst);
    f.markers.row2[k] = 1;
  }
  f.markers.row1[0] = 1;
  return f;
}

TEST(ImpairmentChain, AllOffLeavesThePacketAsItIs) {
  Impairments m;
  m.Seed = 99;             // a seed alone impairs nothing
  m.NoiseBandwidth = 1e6;  // nor a bandwidth without noise
  m.LockedClocks = 1;      // nor locked clocks without a clock error
  const ImpairmentChain chain(m, kFs, 2.4e9);
  EXPECT_FALSE(chain.active());
  EXPECT_FALSE(chain.varies_per_packet());
  Frame f = packet();
  const CVec before = f.waveform;
  chain.apply(f, 12345);
  EXPECT_EQ(f.waveform, before);
}

TEST(ImpairmentChain, StepsRunInTheFixedOrder) {
  Impairments m;
  m.PA.Saturation = 3;
  m.IQGain = 1;
  m.IQPhase = 4;
  m.DCOffset = {-30, -25};
  m.PhaseOffset = 20;
  m.CFO = 15e3;
  const ImpairmentChain chain(m, kFs, 2.4e9);
  Frame f = packet();
  chain.apply(f, 4000);
  // The same steps by hand: PA, IQ, DC, then the carrier.
  Frame g = packet();
  CVec& x = g.waveform;
  rapp_pa(x.data(), x.size(), std::sqrt(burst_mean_power(x, g.markers)) * std::pow(10.0, 3.0 / 20), 2, 0);
  iq_imbalance(x.data(), x.size(), 1, 4);
  dc_offset(x.data(), x.size(), std::sqrt(burst_mean_power(x, g.markers)), -30, -25);
  rotate_carrier(x.data(), x.size(), 15e3 / kFs, 20, 4000);
  ASSERT_EQ(f.waveform.size(), x.size());
  for (size_t k = 0; k < x.size(); ++k) ASSERT_EQ(f.waveform[k], x[k]) << k;
  // The DC is added after the IQ imbalance: the idle interval holds exactly
  // the DC levels (turned by the carrier), unscaled by the IQ gain.
  const cplx idle = f.waveform[3500] * std::polar(1.0, -2 * kPi * carrier_cycles(15e3 / kFs, 20, 7500));
  EXPECT_NEAR(idle.imag() / idle.real(), std::pow(10.0, 5.0 / 20), 1e-9);
}

TEST(ImpairmentChain, SameSeedSameSamplesOnAnyThreadInAnyOrder) {
  Impairments m;
  m.SNR = 10;
  m.CFO = -3e3;
  m.PhaseNoise = {1e4, -80, 1e6, -100};
  m.Seed = 42;
  const ImpairmentChain chain(m, kFs, 2.4e9);
  EXPECT_TRUE(chain.varies_per_packet());
  const size_t len = packet().waveform.size();
  // Packets 0..3 in order here, and in reverse on another thread.
  std::vector<Frame> here(4, packet()), there(4, packet());
  for (size_t k = 0; k < 4; ++k) chain.apply(here[k], k * len);
  std::thread worker([&] {
    for (size_t k = 4; k-- > 0;) chain.apply(there[k], k * len);
  });
  worker.join();
  for (size_t k = 0; k < 4; ++k) EXPECT_EQ(here[k].waveform, there[k].waveform) << "packet " << k;
  EXPECT_NE(here[0].waveform, here[1].waveform);  // noise differs from packet to packet
  // Another seed, other noise.
  m.Seed = 43;
  const ImpairmentChain other(m, kFs, 2.4e9);
  Frame o = packet();
  other.apply(o, 0);
  EXPECT_NE(o.waveform, here[0].waveform);
}

TEST(ImpairmentChain, NoiseHasTheSnrOfTheBurstAndFillsTheIdleInterval) {
  for (double snr : {0.0, 25.0}) {
    Impairments m;
    m.SNR = snr;
    const ImpairmentChain chain(m, kFs, 2.4e9);
    Frame f = packet(60000, 60000);
    const Frame clean = f;
    chain.apply(f, 0);
    double noise_burst = 0, noise_idle = 0;
    for (size_t k = 0; k < 60000; ++k) noise_burst += std::norm(f.waveform[k] - clean.waveform[k]);
    for (size_t k = 60000; k < 120000; ++k) noise_idle += std::norm(f.waveform[k]);
    const double p = burst_mean_power(clean.waveform, clean.markers);
    EXPECT_NEAR(10 * std::log10(p / (noise_burst / 60000)), snr, 0.05);
    EXPECT_NEAR(10 * std::log10(p / (noise_idle / 60000)), snr, 0.05);
  }
}

// The noise within NoiseBandwidth (the whole rate without one) is the
// burst's power less the SNR, at each sample rate: measured over 2^22
// samples (about 1e6 independent ones within the narrowest band, a spread
// of 0.005 dB).
TEST(ImpairmentChain, NoiseWithinItsBandwidthHasTheSnr) {
  const size_t n = size_t{1} << 22;
  CVec spectrum(n);
  fftw_plan plan = fftw_plan_dft_1d(int(n), reinterpret_cast<fftw_complex*>(spectrum.data()),
                                    reinterpret_cast<fftw_complex*>(spectrum.data()), FFTW_FORWARD, FFTW_ESTIMATE);
  for (double fs : {20e6, 40e6, 80e6})
    for (double bandwidth : {FieldRule::kInf, 16.5625e6}) {
      Impairments m;
      m.SNR = 20;
      m.NoiseBandwidth = bandwidth;
      m.Seed = 11;
      const ImpairmentChain chain(m, fs, 2.4e9);
      Frame f = packet(n / 2, n / 2);
      const double p = burst_mean_power(f.waveform, f.markers);
      chain.apply(f, 0);
      for (size_t k = 0; k < n; ++k) spectrum[k] = f.waveform[k] - packet_sample(k, n / 2);
      fftw_execute(plan);
      const double band = std::min(bandwidth, fs);
      double in_band = 0;
      for (size_t k = 0; k < n; ++k) {
        const double hz = (k < n / 2 ? double(k) : double(k) - double(n)) * fs / double(n);
        if (std::fabs(hz) <= band / 2) in_band += std::norm(spectrum[k]);
      }
      in_band /= double(n) * double(n);
      EXPECT_NEAR(10 * std::log10(p / in_band), 20, 0.012) << fs << " sample/s, bandwidth " << bandwidth;
    }
  fftw_destroy_plan(plan);
}

TEST(ImpairmentChain, CarrierOffsetAndLockedClocksTurnThePhaseAtTheirRate) {
  struct Case {
    double cfo, ppm, locked, want_hz;
  };
  for (const Case c : {Case{250e3, 0, 0, 250e3}, Case{-1e3, 20, 0, -1e3}, Case{1e3, 20, 1, 1e3 + 20e-6 * 2.4e9}}) {
    Impairments m;
    m.CFO = c.cfo;
    m.ClockPpm = c.ppm;
    m.LockedClocks = c.locked;
    const ImpairmentChain chain(m, kFs, 2.4e9);
    EXPECT_DOUBLE_EQ(chain.carrier_offset_hz(), c.want_hz);
    // A constant burst: the mean phase step between samples is the offset.
    Frame f;
    f.waveform.assign(4000, cplx(1, 0));
    f.markers.row2.assign(4000, 1);
    chain.apply(f, 0);
    cplx step(0, 0);
    for (size_t k = 100; k + 1 < 3900; ++k) step += f.waveform[k + 1] * std::conj(f.waveform[k]);
    EXPECT_NEAR(std::arg(step) / (2 * kPi) * kFs, c.want_hz, 1e-6 * std::fabs(c.want_hz) + 1e-3);
  }
}

TEST(ImpairmentChain, ClockErrorScalesTheContentAndKeepsTheLength) {
  Impairments m;
  m.ClockPpm = 500;
  const ImpairmentChain chain(m, kFs, 2.4e9);
  EXPECT_FALSE(chain.varies_per_packet());  // every packet the same: copies allowed
  Frame f;
  const size_t n = 30000;
  const double tone = 0.05;
  for (size_t k = 0; k < n; ++k) f.waveform.push_back(std::polar(1.0, 2 * kPi * tone * double(k)));
  f.markers.row2.assign(n, 1);
  chain.apply(f, 0);
  ASSERT_EQ(f.waveform.size(), n);
  // The tone now runs 1 + 500 ppm as fast.
  cplx step(0, 0);
  for (size_t k = 100; k + 1 < n - 100; ++k) step += f.waveform[k + 1] * std::conj(f.waveform[k]);
  EXPECT_NEAR(std::arg(step) / (2 * kPi), tone * (1 + 500e-6), 1e-9);
}

TEST(ImpairmentChain, RefusesWhatItCannotMake) {
  Impairments m;
  m.CFO = 10e6;  // half the sample rate
  EXPECT_THROW(ImpairmentChain(m, kFs, 1e9), std::invalid_argument);
  m = Impairments{};
  m.SNR = 20;
  m.NoiseBandwidth = kFs / 200;
  EXPECT_NO_THROW(ImpairmentChain(m, kFs, 1e9));
  m.NoiseBandwidth = kFs / 201;  // narrower than the noise filter holds
  EXPECT_THROW(ImpairmentChain(m, kFs, 1e9), std::invalid_argument);
}

}  // namespace
}  // namespace tarvio
