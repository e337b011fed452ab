// The counter-based generator, the Box-Muller transform and the portable
// logarithm, sine and cosine it uses.
#include "dsp/counter_noise.h"

#include <algorithm>
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
  double log[12], sin[12], cos[12];  // padded with zeros
};

constexpr Coefficients make_coefficients() {
  Coefficients c{};
  for (int k = 0; k <= 10; ++k) c.log[k] = 1.0 / (2 * k + 1);
  for (int k = 0; k <= 8; ++k) c.sin[k] = (k % 2 ? -1 : 1) * inv_factorial(2 * k + 1);
  for (int k = 0; k <= 9; ++k) c.cos[k] = (k % 2 ? -1 : 1) * inv_factorial(2 * k);
  return c;
}

constexpr Coefficients kSeries = make_coefficients();

// sum a[k] y^k for k < 12 in Estrin's order: pairs, then pairs of pairs with
// y^2, y^4 and y^8. A fixed order of operations (the same result everywhere)
// with short dependency chains.
[[gnu::always_inline]] inline double estrin(const double (&a)[12], double y) {
  const double y2 = y * y, y4 = y2 * y2, y8 = y4 * y4;
  const double b0 = a[0] + a[1] * y, b1 = a[2] + a[3] * y, b2 = a[4] + a[5] * y, b3 = a[6] + a[7] * y,
               b4 = a[8] + a[9] * y, b5 = a[10] + a[11] * y;
  const double c0 = b0 + b1 * y2, c1 = b2 + b3 * y2, c2 = b4 + b5 * y2;
  return (c0 + c1 * y4) + c2 * y8;
}

constexpr double kTwoPow52 = 4503599627370496.0;

// floor(w) for 0 <= w < 2^51: round to nearest by adding and taking away
// 2^52, then step down where that rounded up (no library call).
[[gnu::always_inline]] inline double floor_small(double w) {
  const double r = (w + kTwoPow52) - kTwoPow52;
  return r - static_cast<double>(r > w);
}

// ln x for a normal x > 0 (see portable_log), without branches.
[[gnu::always_inline]] inline double log_normal(double x) {
  // x = m 2^e with m in [sqrt(1/2), sqrt(2)); ln m = 2 atanh(t), t = (m-1)/(m+1),
  // |t| <= 0.1716, summed to t^21 (the next term is below 1e-17). The
  // exponent and mantissa are taken from the bits (exact, and no library call).
  const uint64_t bits = std::bit_cast<uint64_t>(x);
  // The biased exponent as a double, exactly: 2^52 + E, less 2^52.
  const double biased = std::bit_cast<double>(((bits >> 52) & 0x7FF) | 0x4330000000000000ull) - kTwoPow52;
  const double m0 = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FE0000000000000ull);  // [0.5, 1)
  const double low = static_cast<double>(m0 < kSqrtHalf);  // 1: take m = 2 m0 (exact either way)
  const double m = m0 + m0 * low;
  const double ed = biased - 1022 - low;
  const double t = (m - 1) / (m + 1);
  const double p = estrin(kSeries.log, t * t);
  return ed * kLn2Hi + (ed * kLn2Lo + 2 * t * p);
}

// cos and sin of 2 pi v for v in [0, 1), without branches.
[[gnu::always_inline]] inline void sincos_unit(double v, double& s, double& c) {
  // 2 pi v = 2 pi (q/4 + f) with q whole and |f| <= 1/8, so x = 2 pi f lies in
  // [-pi/4, pi/4]; Taylor series to x^17 and x^18 there (error below 1e-16).
  const double q = floor_small(v * 4 + 0.5);  // 0 .. 4 (4 is a whole turn)
  const double x = (v - q * 0.25) * kTwoPi;
  const double x2 = x * x;
  const double sx = estrin(kSeries.sin, x2) * x, cx = estrin(kSeries.cos, x2);
  // Quadrant q: sin = (sx, cx, -sx, -cx), cos = (cx, -sx, -cx, sx) for q = 0..3,
  // chosen by factors 0 and 1 (exact), not by branches on random data.
  const double q1 = static_cast<double>(q == 1), q2 = static_cast<double>(q == 2), q3 = static_cast<double>(q == 3);
  const double odd = q1 + q3, even = 1 - odd;
  const double sin_sign = 1 - 2 * (q2 + q3), cos_sign = 1 - 2 * (q1 + q2);
  s = sin_sign * (odd * cx + even * sx);
  c = cos_sign * (odd * sx + even * cx);
}

// A whole number below 2^52 as a double, exactly: the bits of 2^52 + n, less
// 2^52.
[[gnu::always_inline]] inline double exact_double(uint64_t n) {
  return std::bit_cast<double>(n | 0x4330000000000000ull) - kTwoPow52;
}
// n < 2^53 as a double: the high and low 26/27 bits apart.
[[gnu::always_inline]] inline double exact_double53(uint64_t n) {
  return exact_double(n >> 26) * 67108864.0 + exact_double(n & 0x3FFFFFF);
}
[[gnu::always_inline]] inline double uniform_open(uint64_t w) {
  return exact_double53((w >> 11) + 1) * kTwoPow53;  // (0, 1]
}
[[gnu::always_inline]] inline double uniform(uint64_t w) {
  return exact_double53(w >> 11) * kTwoPow53;  // [0, 1)
}

}  // namespace

double portable_log(double x) {
  if (x < 2.2250738585072014e-308)  // subnormal: scale into the normal range by 2^54
    return log_normal(x * 18014398509481984.0) - 54 * kLn2Hi - 54 * kLn2Lo;
  return log_normal(x);
}

void portable_sincos_2pi(double u, double& s, double& c) {
  // u - floor(u) for any |u| < 2^52.
  const double t = static_cast<double>(static_cast<int64_t>(u));
  sincos_unit(u - (t - static_cast<double>(t > u)), s, c);
}

CounterNoise::CounterNoise(uint64_t seed, NoiseStream stream)
    : key_(splitmix64_mix(splitmix64_mix(seed + kGolden) ^ (static_cast<uint64_t>(stream) * kStreamMul))) {}

cplx CounterNoise::gaussian(uint64_t n) const {
  const double r = std::sqrt(-2 * log_normal(uniform_open(word(2 * n))));
  double sn = 0, cs = 0;
  sincos_unit(uniform(word(2 * n + 1)), sn, cs);
  return {r * cs, r * sn};
}

// Eight samples at a time. The same operations as gaussian() in the same
// order, lane by lane, on GCC's vector types: the results are the same bits
// (IEEE addition, multiplication, division and square root round exactly
// whatever the vector width, and no multiply-add is fused here). The few
// steps that gaussian() takes with a comparison are taken with integer bit
// operations that give the same numbers, so that nothing in the loop
// branches or compares. The code is compiled for three instruction sets and
// the processor's own is chosen when the program starts (on x86-64).
namespace {

// The vector functions are all inlined into gaussian_lanes: the warning
// about passing vectors wider than the base instruction set in registers
// does not apply (it is given at the end of the file, so it is off to there).
#pragma GCC diagnostic ignored "-Wpsabi"

constexpr size_t kLanes = 8;
typedef uint64_t U8 __attribute__((vector_size(8 * kLanes)));
typedef double D8 __attribute__((vector_size(8 * kLanes)));

constexpr uint64_t kMantissa = 0x000FFFFFFFFFFFFFull;
constexpr uint64_t kSqrtHalfMantissa = std::bit_cast<uint64_t>(kSqrtHalf) & kMantissa;
constexpr uint64_t kExponent52 = 0x4330000000000000ull;  // the bits of 2^52

[[gnu::always_inline]] inline U8 mix8(U8 z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
// exact_double and exact_double53 lane by lane (a cast between vector types
// of one size keeps the bits).
[[gnu::always_inline]] inline D8 exact8(U8 n) { return (D8)(n | kExponent52) - kTwoPow52; }
[[gnu::always_inline]] inline D8 exact53_8(U8 n) { return exact8(n >> 26) * 67108864.0 + exact8(n & 0x3FFFFFFull); }

[[gnu::always_inline]] inline D8 estrin8(const double (&a)[12], D8 y) {
  const D8 y2 = y * y, y4 = y2 * y2, y8 = y4 * y4;
  const D8 b0 = a[0] + a[1] * y, b1 = a[2] + a[3] * y, b2 = a[4] + a[5] * y, b3 = a[6] + a[7] * y,
           b4 = a[8] + a[9] * y, b5 = a[10] + a[11] * y;
  const D8 c0 = b0 + b1 * y2, c1 = b2 + b3 * y2, c2 = b4 + b5 * y2;
  return (c0 + c1 * y4) + c2 * y8;
}

// gaussian(n + i), i = 0 .. 7.
[[gnu::always_inline]] inline void gaussian8(uint64_t key, uint64_t n, cplx* out) {
  const U8 index = U8{0, 1, 2, 3, 4, 5, 6, 7} + n;
  const U8 w1 = mix8(key + (2 * index + 1) * kGolden), w2 = mix8(key + (2 * index + 2) * kGolden);

  // r = sqrt(-2 ln u1), ln as in log_normal: u1 in (0, 1] is normal, and
  // "m0 < sqrt(1/2)" is the borrow of its mantissa bits less those of
  // sqrt(1/2) (both below 2^52, the exponents equal).
  const D8 u1 = exact53_8((w1 >> 11) + 1) * kTwoPow53;
  const U8 bits = (U8)u1;
  const D8 biased = exact8((bits >> 52) & 0x7FF);
  const D8 m0 = (D8)((bits & kMantissa) | 0x3FE0000000000000ull);
  const D8 low = exact8(((bits & kMantissa) - kSqrtHalfMantissa) >> 63);
  const D8 m = m0 + m0 * low;
  const D8 ed = biased - 1022 - low;
  const D8 t = (m - 1) / (m + 1);
  const D8 p = estrin8(kSeries.log, t * t);
  const D8 r2 = -2 * (ed * kLn2Hi + (ed * kLn2Lo + 2 * t * p));
  D8 r;
  for (size_t i = 0; i < kLanes; ++i) r[i] = std::sqrt(r2[i]);

  // cos and sin of 2 pi u2 as in sincos_unit, u2 = j 2^-53: the quadrant
  // q = floor(4 u2 + 1/2) = (j + 2^50) >> 51 and u2 - q/4 = (j - q 2^51)
  // 2^-53 are exact in integers, as they are in sincos_unit's doubles.
  const U8 j = w2 >> 11;
  const U8 q = (j + (uint64_t{1} << 50)) >> 51;
  // j - q 2^51 lies in [-2^50, 2^50]: offset by 2^51 it is a whole number
  // below 2^52, taken as a double exactly and the offset taken away.
  const D8 f = exact8(j - (q << 51) + (uint64_t{1} << 51)) - 2251799813685248.0;
  const D8 x = f * kTwoPow53 * kTwoPi;
  const D8 x2 = x * x;
  const D8 sx = estrin8(kSeries.sin, x2) * x, cx = estrin8(kSeries.cos, x2);
  // q1 + q3, q2 + q3 and q1 + q2 of sincos_unit for q = 0 .. 4.
  const D8 odd = exact8(q & 1), even = 1 - odd;
  const D8 sin_sign = 1 - 2 * exact8((q >> 1) & 1), cos_sign = 1 - 2 * exact8(((q + 1) >> 1) & 1);
  const D8 s = sin_sign * (odd * cx + even * sx);
  const D8 c = cos_sign * (odd * sx + even * cx);
  const D8 re = r * c, im = r * s;
  for (size_t i = 0; i < kLanes; ++i) out[i] = cplx(re[i], im[i]);
}

// out[k] = gaussian(first + k) for k < count, count a multiple of kLanes.
#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif
#endif
void gaussian_lanes(uint64_t key, uint64_t first, size_t count, cplx* out) {
  for (size_t k = 0; k < count; k += kLanes) gaussian8(key, first + k, out + k);
}


}  // namespace

void CounterNoise::gaussians(uint64_t first, size_t count, cplx* out) const {
  const size_t whole = count - count % kLanes;
  gaussian_lanes(key_, first, whole, out);
  for (size_t k = whole; k < count; ++k) out[k] = gaussian(first + k);
}

void CounterNoise::real_gaussians(uint64_t first, size_t count, double* out) const {
  size_t k = 0;
  uint64_t n = first;
  if (count > 0 && (n & 1)) {
    out[k++] = gaussian(n >> 1).imag();
    ++n;
  }
  // The pairs in blocks of complex samples.
  constexpr size_t kBlock = 256;
  cplx block[kBlock];
  while (k + 1 < count) {
    const size_t pairs = std::min(kBlock, (count - k) / 2);
    gaussians(n >> 1, pairs, block);
    for (size_t i = 0; i < pairs; ++i) {
      out[k + 2 * i] = block[i].real();
      out[k + 2 * i + 1] = block[i].imag();
    }
    k += 2 * pairs;
    n += 2 * pairs;
  }
  if (k < count) out[k] = gaussian(n >> 1).real();
}

}  // namespace tarvio
