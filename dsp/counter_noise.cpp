// The counter-based generator, the Box-Muller transform and the portable
// logarithm, sine and cosine it uses.
#include "dsp/counter_noise.h"

#include <bit>
#include <cmath>
#include <cstdint>

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

// Series coefficients of y^k, lowest power first: 1/(2k+1) for the
// logarithm, (-1)^k/(2k+1)! for the sine and (-1)^k/(2k)! for the cosine
// (y = t^2 or x^2).
struct Coefficients {
  double log[12], sin[10], cos[10];  // padded with zeros to an even count
};

constexpr Coefficients make_coefficients() {
  Coefficients c{};
  for (int k = 0; k <= 10; ++k) c.log[k] = 1.0 / (2 * k + 1);
  for (int k = 0; k <= 8; ++k) c.sin[k] = (k % 2 ? -1 : 1) * inv_factorial(2 * k + 1);
  for (int k = 0; k <= 9; ++k) c.cos[k] = (k % 2 ? -1 : 1) * inv_factorial(2 * k);
  return c;
}

constexpr Coefficients kSeries = make_coefficients();

// sum a[k] y^k for k < N (N even, at most 16) in Estrin's order: pairs, then
// pairs of pairs with y^2, y^4, y^8. A fixed order of operations (the same
// result everywhere) with short dependency chains.
template <int N>
[[gnu::always_inline]] inline double estrin(const double (&a)[N], double y) {
  static_assert(N % 2 == 0 && N <= 16);
  double b[8] = {};
  for (int k = 0; k < N / 2; ++k) b[k] = a[2 * k] + a[2 * k + 1] * y;
  const double y2 = y * y, y4 = y2 * y2, y8 = y4 * y4;
  double c[4] = {};
  for (int k = 0; k < 4; ++k) c[k] = b[2 * k] + b[2 * k + 1] * y2;
  return (c[0] + c[1] * y4) + (c[2] + c[3] * y4) * y8;
}

}  // namespace

double portable_log(double x) {
  // x = m 2^e with m in [sqrt(1/2), sqrt(2)); ln m = 2 atanh(t), t = (m-1)/(m+1),
  // |t| <= 0.1716, summed to t^21 (the next term is below 1e-17). The
  // exponent and mantissa are taken from the bits (exact, and no library call).
  int e = 0;
  if (x < 2.2250738585072014e-308) {  // subnormal: scale into the normal range
    x *= 18014398509481984.0;         // 2^54
    e = -54;
  }
  const uint64_t bits = std::bit_cast<uint64_t>(x);
  e += static_cast<int>((bits >> 52) & 0x7FF) - 1022;
  double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FE0000000000000ull);  // [0.5, 1)
  if (m < kSqrtHalf) {
    m *= 2;
    --e;
  }
  const double t = (m - 1) / (m + 1);
  const double s = t * t;
  const double p = estrin(kSeries.log, s);
  const double ed = e;
  return ed * kLn2Hi + (ed * kLn2Lo + 2 * t * p);
}

// floor(u) for |u| < 2^52, without a library call.
static double whole_below(double u) {
  const double t = static_cast<double>(static_cast<int64_t>(u));
  return t - (t > u ? 1 : 0);
}

// The quadrant's signs: sin = a sx + b cx, cos = c sx + d cx (exact: each
// factor is 0 or +-1).
constexpr double kQuadrant[4][4] = {{1, 0, 0, 1}, {0, 1, -1, 0}, {-1, 0, 0, -1}, {0, -1, 1, 0}};

void portable_sincos_2pi(double u, double& s, double& c) {
  // 2 pi u = 2 pi (q/4 + f) with q whole and |f| <= 1/8, so x = 2 pi f lies in
  // [-pi/4, pi/4]; Taylor series to x^17 and x^18 there (error below 1e-16).
  const double v = u - whole_below(u);
  const double q = whole_below(v * 4 + 0.5);
  const double x = (v - q * 0.25) * kTwoPi;
  const double x2 = x * x;
  const double sp = estrin(kSeries.sin, x2);
  const double cp = estrin(kSeries.cos, x2);
  const double sx = sp * x, cx = cp;
  const double* m = kQuadrant[static_cast<int>(q) & 3];
  s = m[0] * sx + m[1] * cx;
  c = m[2] * sx + m[3] * cx;
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
