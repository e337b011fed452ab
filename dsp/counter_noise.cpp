// The counter-based generator, the Box-Muller transform and the portable
// logarithm, sine and cosine it uses.
#include "dsp/counter_noise.h"

#include <cmath>

namespace tarvio {

namespace {

constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kStreamMul = 0xD1B54A32D192ED03ull;
constexpr double kTwoPow53 = 1.0 / 9007199254740992.0;  // 2^-53
constexpr double kTwoPi = 6.28318530717958647692;
// ln 2 in two parts (the high part has trailing zero bits, so e x hi is exact).
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kSqrtHalf = 0.70710678118654752440;

constexpr double inv_factorial(int n) {
  double f = 1;
  for (int k = 2; k <= n; ++k) f *= k;
  return 1.0 / f;
}

}  // namespace

double portable_log(double x) {
  // x = m 2^e with m in [sqrt(1/2), sqrt(2)); ln m = 2 atanh(t), t = (m-1)/(m+1),
  // |t| <= 0.1716, summed to t^21 (the next term is below 1e-17).
  int e = 0;
  double m = std::frexp(x, &e);
  if (m < kSqrtHalf) {
    m *= 2;
    --e;
  }
  const double t = (m - 1) / (m + 1);
  const double s = t * t;
  double p = 1.0 / 21;
  for (int k = 19; k >= 1; k -= 2) p = p * s + 1.0 / k;
  const double ed = e;
  return ed * kLn2Hi + (ed * kLn2Lo + 2 * t * p);
}

void portable_sincos_2pi(double u, double& s, double& c) {
  // 2 pi u = 2 pi (q/4 + f) with q whole and |f| <= 1/8, so x = 2 pi f lies in
  // [-pi/4, pi/4]; Taylor series to x^17 and x^18 there (error below 1e-16).
  const double v = u - std::floor(u);
  const double q = std::floor(v * 4 + 0.5);
  const double x = (v - q * 0.25) * kTwoPi;
  const double x2 = x * x;
  double sp = inv_factorial(17);
  for (int k = 15; k >= 1; k -= 2) sp = sp * x2 + ((k / 2) % 2 ? -inv_factorial(k) : inv_factorial(k));
  double cp = -inv_factorial(18);
  for (int k = 16; k >= 0; k -= 2) cp = cp * x2 + ((k / 2) % 2 ? -inv_factorial(k) : inv_factorial(k));
  const double sx = sp * x, cx = cp;
  switch (static_cast<int>(q) & 3) {
    case 0:
      s = sx, c = cx;
      break;
    case 1:
      s = cx, c = -sx;
      break;
    case 2:
      s = -sx, c = -cx;
      break;
    default:
      s = -cx, c = sx;
      break;
  }
}

CounterNoise::CounterNoise(uint64_t seed, NoiseStream stream)
    : key_(splitmix64_mix(splitmix64_mix(seed + kGolden) ^ (static_cast<uint64_t>(stream) * kStreamMul))) {}

cplx CounterNoise::gaussian(uint64_t n) const {
  const double u1 = static_cast<double>((word(2 * n) >> 11) + 1) * kTwoPow53;
  const double u2 = static_cast<double>(word(2 * n + 1) >> 11) * kTwoPow53;
  const double r = std::sqrt(-2 * portable_log(u1));
  double sn = 0, cs = 0;
  portable_sincos_2pi(u2, sn, cs);
  return {r * cs, r * sn};
}

void CounterNoise::gaussians(uint64_t first, size_t count, cplx* out) const {
  for (size_t k = 0; k < count; ++k) out[k] = gaussian(first + k);
}

void CounterNoise::real_gaussians(uint64_t first, size_t count, double* out) const {
  size_t k = 0;
  uint64_t n = first;
  if (count > 0 && (n & 1)) {
    out[k++] = gaussian(n >> 1).imag();
    ++n;
  }
  for (; k + 1 < count; k += 2, n += 2) {
    const cplx g = gaussian(n >> 1);
    out[k] = g.real();
    out[k + 1] = g.imag();
  }
  if (k < count) out[k] = gaussian(n >> 1).real();
}

}  // namespace tarvio
