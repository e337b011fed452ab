// The impairment kernels against their definitions: the portable noise
// arithmetic and streams, the PA and clipping, IQ imbalance and skew, DC,
// the continuous carrier, the phase-noise profile and its realisation, and
// white and band-limited noise.
#include <fftw3.h>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <numeric>

#include "dsp/awgn.h"
#include "dsp/carrier_rotation.h"
#include "dsp/counter_noise.h"
#include "dsp/dc_offset.h"
#include "dsp/iq_imbalance.h"
#include "dsp/phase_noise.h"
#include "dsp/power_amplifier.h"
#include "records/field_info.h"

namespace tarvio {
namespace {

constexpr double kPi = 3.14159265358979323846;

CVec tone(size_t n, double cycles_per_sample, double amplitude = 1) {
  CVec x(n);
  for (size_t k = 0; k < n; ++k) x[k] = std::polar(amplitude, 2 * kPi * cycles_per_sample * static_cast<double>(k));
  return x;
}

double mean_power(const CVec& x) {
  double s = 0;
  for (const cplx& v : x) s += std::norm(v);
  return s / static_cast<double>(x.size());
}

TEST(CounterNoise, PortableFunctionsMatchTheLibraryToRounding) {
  for (double x : {1e-300, 2.2e-16, 1e-5, 0.3, 0.70710678, 0.99999999, 1.0, 1.5, 7.25, 1e10}) {
    EXPECT_NEAR(portable_log(x), std::log(x), 4e-16 * std::max(1.0, std::fabs(std::log(x)))) << x;
  }
  for (int k = -40; k <= 1040; ++k) {
    const double u = k / 1000.0;
    double s = 0, c = 0;
    portable_sincos_2pi(u, s, c);
    EXPECT_NEAR(s, std::sin(2 * kPi * u), 2e-15) << u;
    EXPECT_NEAR(c, std::cos(2 * kPi * u), 2e-15) << u;
  }
}

TEST(CounterNoise, StreamIsAPureFunctionOfSeedStreamAndIndex) {
  const CounterNoise a(7, NoiseStream::Awgn);
  CVec block(1000);
  a.gaussians(123456789, block.size(), block.data());
  for (size_t k = 0; k < block.size(); k += 97) EXPECT_EQ(block[k], a.gaussian(123456789 + k));
  // The real numbers are the complex samples' parts taken in turn, from any start.
  std::vector<double> re(601);
  a.real_gaussians(2 * 123456789 + 1, re.size(), re.data());
  EXPECT_EQ(re[0], block[0].imag());
  EXPECT_EQ(re[1], block[1].real());
  EXPECT_EQ(re[8], block[4].imag());
  EXPECT_EQ(re[599], block[300].real());
  EXPECT_EQ(re[600], block[300].imag());
  // Another seed or another stream gives other numbers.
  EXPECT_NE(CounterNoise(8, NoiseStream::Awgn).gaussian(5), a.gaussian(5));
  EXPECT_NE(CounterNoise(7, NoiseStream::PhaseNoise).gaussian(5), a.gaussian(5));
}

// The stream's bits are part of its contract: a seed gives these samples on
// every machine. Fingerprint (FNV-1a over the 16 bytes of each sample) of
// the first 4096 samples of seed 12345, stream Awgn, as this generator made
// them when it was written; the same with GCC and Clang at -O0 and at -O3
// -march=native.
// The samples made one at a time and eight at a time (gaussians(), on the
// processor's widest vectors) are the same bits, from any start.
TEST(CounterNoise, SeedGivesThePinnedSamples) {
  const CounterNoise g(12345, NoiseStream::Awgn);
  CVec block(4096);
  g.gaussians(0, block.size(), block.data());
  for (bool one_at_a_time : {true, false}) {
    uint64_t h = 1469598103934665603ull;
    for (uint64_t n = 0; n < 4096; ++n) {
      const cplx z = one_at_a_time ? g.gaussian(n) : block[n];
      for (double part : {z.real(), z.imag()}) {
        const uint64_t bits = std::bit_cast<uint64_t>(part);
        for (int k = 0; k < 8; ++k) h = (h ^ ((bits >> (8 * k)) & 0xFF)) * 1099511628211ull;  // least significant first
      }
    }
    EXPECT_EQ(h, 0xf1b9092913cacd42ull) << one_at_a_time;
  }
  // Any start and length, the tail past a multiple of eight included.
  CVec part(21);
  g.gaussians(1003, part.size(), part.data());
  for (size_t k = 0; k < part.size(); ++k) EXPECT_EQ(part[k], g.gaussian(1003 + k)) << k;
}

TEST(CounterNoise, GaussianMomentsAndIndependentParts) {
  const CounterNoise g(2024, NoiseStream::Awgn);
  const size_t n = 400000;
  double m_re = 0, m_im = 0, v_re = 0, v_im = 0, cross = 0, fourth = 0;
  for (size_t k = 0; k < n; ++k) {
    const cplx z = g.gaussian(k);
    m_re += z.real(), m_im += z.imag();
    v_re += z.real() * z.real(), v_im += z.imag() * z.imag(), cross += z.real() * z.imag();
    fourth += std::pow(z.real(), 4);
  }
  const double dn = static_cast<double>(n);
  EXPECT_NEAR(m_re / dn, 0, 0.005);
  EXPECT_NEAR(m_im / dn, 0, 0.005);
  EXPECT_NEAR(v_re / dn, 1, 0.01);
  EXPECT_NEAR(v_im / dn, 1, 0.01);
  EXPECT_NEAR(cross / dn, 0, 0.005);
  EXPECT_NEAR(fourth / dn, 3, 0.06);  // Gaussian kurtosis
}

TEST(PowerAmplifier, RappAmAmAndAmPmFollowTheirFormulas) {
  const double a = 2, p = 3, ampm = 10;
  for (double r : {0.01, 0.5, 1.0, 2.0, 4.0, 100.0}) {
    cplx x = std::polar(r, 0.3);
    rapp_pa(&x, 1, a, p, ampm);
    const double u = r / a;
    EXPECT_NEAR(std::abs(x), r / std::pow(1 + std::pow(u, 2 * p), 1 / (2 * p)), 1e-12) << r;
    EXPECT_NEAR(std::arg(x) - 0.3, ampm * kPi / 180 * 2 * u * u / (1 + u * u), 1e-12) << r;
  }
  cplx at_sat = std::polar(a, 0.0);
  rapp_pa(&at_sat, 1, a, p, ampm);
  EXPECT_NEAR(std::arg(at_sat) * 180 / kPi, ampm, 1e-9);  // the AM/PM figure is the phase at saturation
  cplx huge = std::polar(1e6, 1.0);
  rapp_pa(&huge, 1, a, p, 0);
  EXPECT_NEAR(std::abs(huge), a, 1e-9);  // saturates at A
}

TEST(PowerAmplifier, ClippingHoldsTheMagnitudeAndKeepsThePhase) {
  CVec x = {std::polar(0.5, 1.0), std::polar(1.5, -2.0), std::polar(3.0, 0.25), cplx(0, 0)};
  const CVec in = x;
  clip_magnitude(x.data(), x.size(), 1.0);
  EXPECT_EQ(x[0], in[0]);
  EXPECT_EQ(x[3], in[3]);
  for (size_t k : {1u, 2u}) {
    EXPECT_NEAR(std::abs(x[k]), 1.0, 1e-15);
    EXPECT_NEAR(std::arg(x[k]), std::arg(in[k]), 1e-15);
  }
}

TEST(IqImbalance, GainAndPhaseGiveTheirAmplitudeRatioAndImage) {
  struct Case {
    double gain_db, phase_deg;
  };
  for (const Case c : {Case{1.0, 0.0}, Case{0.0, 5.0}, Case{-2.0, 3.0}}) {
    const size_t n = 1000;
    CVec x = tone(n, 0.01);
    iq_imbalance(x.data(), n, c.gain_db, c.phase_deg);
    // Amplitude of I and of Q over whole periods.
    double pi = 0, pq = 0;
    cplx wanted(0, 0), image(0, 0);
    for (size_t k = 0; k < n; ++k) {
      pi += x[k].real() * x[k].real(), pq += x[k].imag() * x[k].imag();
      wanted += x[k] * std::polar(1.0, -2 * kPi * 0.01 * double(k));
      image += x[k] * std::polar(1.0, 2 * kPi * 0.01 * double(k));
    }
    EXPECT_NEAR(10 * std::log10(pi / pq), c.gain_db, 1e-9);
    if (c.gain_db == 0) {
      // y = cos(phi/2) x + j sin(phi/2) conj(x): the image is tan(phi/2) of the tone.
      EXPECT_NEAR(std::abs(image) / std::abs(wanted), std::tan(c.phase_deg * kPi / 360), 1e-9);
    }
  }
}

TEST(IqImbalance, SkewDelaysQAlone) {
  const size_t n = 2000;
  const double f = 0.05;
  for (double d : {3.0, 0.37, -1.6}) {
    CVec x = tone(n, f);
    RVec scratch;
    iq_skew(x.data(), n, d, scratch);
    for (size_t k = 100; k < n - 100; k += 37) {
      EXPECT_EQ(x[k].real(), std::cos(2 * kPi * f * double(k)));
      EXPECT_NEAR(x[k].imag(), std::sin(2 * kPi * f * (double(k) - d)), 3e-5) << d << " at " << k;
    }
  }
}

TEST(DcOffset, AddsEachPartRelativeToTheReference) {
  CVec x(4, cplx(1, -1));
  dc_offset(x.data(), x.size(), 2.0, -20, -FieldRule::kInf);
  for (const cplx& v : x) EXPECT_EQ(v, cplx(1 + 0.2, -1));
  dc_offset(x.data(), x.size(), 1.0, -FieldRule::kInf, 0);
  for (const cplx& v : x) EXPECT_EQ(v, cplx(1.2, 0));
}

TEST(CarrierRotation, PhaseFollowsTheAbsoluteSampleAndJoinsWithoutASeam) {
  const double step = 123456.789 / 20e6;
  const double phase_deg = 30;
  const uint64_t first = 3000000000ull;  // deep into a long waveform
  CVec whole(1000, cplx(1, 0));
  rotate_carrier(whole.data(), whole.size(), step, phase_deg, first);
  for (size_t m : {0u, 1u, 255u, 256u, 999u}) {
    const long double cyc = (long double)step * (long double)(first + m) + phase_deg / 360.0L;
    const double want = 2 * kPi * static_cast<double>(cyc - std::floor(cyc));
    EXPECT_NEAR(std::abs(std::remainder(std::arg(whole[m]) - want, 2 * kPi)), 0, 1e-9) << m;
  }
  // Two packets made apart equal the one row.
  CVec a(400, cplx(1, 0)), b(600, cplx(1, 0));
  rotate_carrier(a.data(), a.size(), step, phase_deg, first);
  rotate_carrier(b.data(), b.size(), step, phase_deg, first + 400);
  for (size_t m = 0; m < 1000; ++m) ASSERT_NEAR(std::abs((m < 400 ? a[m] : b[m - 400]) - whole[m]), 0, 1e-12);
  // No error builds up along a block: every phasor has magnitude 1 to a
  // few units in the last place; out of place is the same as in place.
  for (size_t m = 0; m < 1000; ++m) ASSERT_NEAR(std::abs(whole[m]), 1, 1e-15) << m;
  CVec in(1000, cplx(0.5, -0.25)), out(1000), same = in;
  const CarrierRotation turn(step, phase_deg);
  turn.apply(in.data(), out.data(), in.size(), first);
  turn.apply(same.data(), same.data(), same.size(), first);
  EXPECT_EQ(out, same);
}

TEST(PhaseNoise, ProfileInterpolatesInDbOverLogFrequency) {
  const std::vector<double> profile = {1e3, -80, 1e5, -100};
  EXPECT_NEAR(10 * std::log10(phase_noise_level(profile, 1e4)), -90, 1e-9);
  EXPECT_NEAR(10 * std::log10(phase_noise_level(profile, 1e3)), -80, 1e-9);
  EXPECT_EQ(phase_noise_level(profile, 999), 0);
  EXPECT_EQ(phase_noise_level(profile, 1.01e5), 0);
  // The closed-form integral against a fine numerical one.
  const std::vector<double> p3 = {1e3, -80, 1e4, -90, 1e6, -110};
  double var = 0;
  const int steps = 200000;
  for (int k = 0; k < steps; ++k) {
    const double f0 = 1e3 * std::pow(1e3, double(k) / steps), f1 = 1e3 * std::pow(1e3, double(k + 1) / steps);
    var += 0.5 * (phase_noise_level(p3, f0) + phase_noise_level(p3, f1)) * (f1 - f0);
  }
  EXPECT_NEAR(phase_noise_rms_degrees(p3, 20e6), std::sqrt(2 * var) * 180 / kPi, 1e-4);
  // The profile stops at half the sample rate.
  EXPECT_LT(phase_noise_rms_degrees(p3, 1e6), phase_noise_rms_degrees(p3, 20e6));
}

TEST(PhaseNoise, RealisedPhaseHasTheProfilesRmsAndJoinsAcrossPieces) {
  const std::vector<double> profile = {1e4, -75, 1e5, -85, 1e6, -100};
  const double fs = 20e6;
  const PhaseNoise pn(profile, fs, 11);
  const size_t n = 1 << 20;
  std::vector<double> phi(n);
  CVec scratch;
  pn.phases(0, n, phi.data(), scratch);
  double v = 0;
  for (double x : phi) v += x * x;
  const double rms_deg = std::sqrt(v / double(n)) * 180 / kPi;
  EXPECT_NEAR(rms_deg, phase_noise_rms_degrees(profile, fs), 0.1 * phase_noise_rms_degrees(profile, fs));
  // A piece made on its own is the same as the middle of the long row.
  std::vector<double> piece(5000);
  pn.phases(777777, piece.size(), piece.data(), scratch);
  for (size_t k = 0; k < piece.size(); k += 499) EXPECT_NEAR(piece[k], phi[777777 + k], 1e-12);
  // The samples turn by exp(j phi), their magnitude untouched.
  CVec x(piece.size(), cplx(2, 0));
  pn.apply(x.data(), x.size(), 777777, scratch);
  for (size_t k = 0; k < x.size(); k += 499) {
    EXPECT_NEAR(std::abs(x[k]), 2, 1e-12);
    EXPECT_NEAR(std::arg(x[k]), piece[k], 1e-12);
  }
}

// The spectrum of the realised phase (made at a slow rate and interpolated)
// follows the profile: averaged Hann-windowed periodograms at offsets inside
// it, and nothing well above its last offset.
TEST(PhaseNoise, RealisedSpectrumFollowsTheProfile) {
  const std::vector<double> profile = {1e4, -75, 1e5, -85, 1e6, -100};
  const double fs = 20e6;
  const PhaseNoise pn(profile, fs, 5);
  EXPECT_EQ(pn.decimation(), 8u);  // 2.5 MHz keeps 1 MHz below 0.4 of it
  const size_t m = 8192, blocks = 96;
  std::vector<double> phi(m * blocks), psd(m, 0), window(m);
  CVec scratch;
  pn.phases(123, phi.size(), phi.data(), scratch);
  for (size_t k = 0; k < m; ++k) window[k] = 0.5 - 0.5 * std::cos(2 * kPi * double(k) / double(m));
  double w2 = 0;
  for (double w : window) w2 += w * w;
  CVec block(m);
  fftw_plan plan = fftw_plan_dft_1d(int(m), reinterpret_cast<fftw_complex*>(block.data()),
                                    reinterpret_cast<fftw_complex*>(block.data()), FFTW_FORWARD, FFTW_ESTIMATE);
  for (size_t b = 0; b < blocks; ++b) {
    for (size_t k = 0; k < m; ++k) block[k] = phi[b * m + k] * window[k];
    fftw_execute(plan);
    for (size_t k = 0; k < m; ++k) psd[k] += std::norm(block[k]) / (fs * w2 * double(blocks));  // rad^2/Hz, two-sided
  }
  fftw_destroy_plan(plan);
  auto measured_db = [&](double f) {
    const size_t bin = size_t(std::lround(f / fs * double(m)));
    double sum = 0;
    for (size_t k = bin - 3; k <= bin + 3; ++k) sum += psd[k];
    return 10 * std::log10(sum / 7);
  };
  for (double f : {3e4, 2e5, 6e5})
    EXPECT_NEAR(measured_db(f), 10 * std::log10(phase_noise_level(profile, f)), 1.5) << f;
  EXPECT_LT(measured_db(3e6), -140);  // nothing above the profile
}

TEST(Awgn, WhiteAndBandLimitedNoiseHaveTheirPowerWithinTheBand) {
  const double fs = 80e6;
  const size_t n = 1 << 19;
  struct Case {
    double bandwidth;
    bool limited;
  };
  for (const Case c : {Case{FieldRule::kInf, false}, Case{fs, false}, Case{20e6, true}}) {
    const Awgn noise(fs, c.bandwidth, 3);
    EXPECT_EQ(noise.band_limited(), c.limited);
    CVec x(n, cplx(0, 0)), scratch;
    noise.add(x.data(), n, 1000, 0.25, scratch);
    EXPECT_NEAR(mean_power(x), 0.25, 0.25 * 0.01);
    if (!c.limited) continue;
    // Averaged periodogram: the power lies within +-B/2, flat there.
    const size_t m = 1024;
    std::vector<double> psd(m, 0);
    CVec block(m);
    fftw_plan plan = fftw_plan_dft_1d(int(m), reinterpret_cast<fftw_complex*>(block.data()),
                                      reinterpret_cast<fftw_complex*>(block.data()), FFTW_FORWARD, FFTW_ESTIMATE);
    for (size_t b = 0; b + m <= n; b += m) {
      std::copy(x.begin() + long(b), x.begin() + long(b + m), block.begin());
      fftw_execute(plan);
      for (size_t k = 0; k < m; ++k) psd[k] += std::norm(block[k]);
    }
    fftw_destroy_plan(plan);
    double in_band = 0, total = 0, low = 1e300, high = 0;
    for (size_t k = 0; k < m; ++k) {
      const double f = (k < m / 2 ? double(k) : double(k) - double(m)) * fs / double(m);
      total += psd[k];
      if (std::fabs(f) <= c.bandwidth / 2) in_band += psd[k];
      if (std::fabs(f) <= 0.4 * c.bandwidth) low = std::min(low, psd[k]), high = std::max(high, psd[k]);
    }
    EXPECT_GT(in_band / total, 0.97);
    EXPECT_LT(10 * std::log10(high / low), 2.0);  // flat within the band (to the estimate's spread)
  }
}

}  // namespace
}  // namespace tarvio
