// Reproducible noise: a counter-based generator and a portable Gaussian
// transform, so that the n-th noise sample of a stream is a pure function of
// (seed, stream id, n) and a packet's noise can be made on any thread, in
// any order, with the same bits on every machine and compiler.
//
// Generator: SplitMix64's output function applied to a counter. A stream's
// key is k = mix(mix(seed + G) ^ (stream x S)); word i of the stream is
// mix(k + (i + 1) x G), G = 0x9E3779B97F4A7C15, S = 0xD1B54A32D192ED03, with
// mix(z) = SplitMix64's finaliser (xor-shift 30, x 0xBF58476D1CE4E5B9,
// xor-shift 27, x 0x94D049BB133111EB, xor-shift 31), all modulo 2^64.
// Uniforms take the top 53 bits of a word: u = (w >> 11) x 2^-53 in [0, 1).
//
// Gaussian: Box-Muller on the words 2n and 2n+1 of the stream,
//   r = sqrt(-2 ln u1), u1 = ((w_2n >> 11) + 1) x 2^-53 in (0, 1],
//   (g_re, g_im) = r x (cos 2 pi u2, sin 2 pi u2), u2 from w_2n+1,
// a complex sample whose parts are independent N(0, 1). The logarithm, sine
// and cosine are our own series, evaluated in a fixed order in IEEE double arithmetic
// (+, -, x, /, sqrt, which are exactly rounded everywhere; the file is
// compiled without fused multiply-add contraction), not the C library's,
// whose last bit differs between libraries. Accuracy: about 1e-15 relative.
// gaussians() makes eight samples at a time on vectors (the same bits as
// gaussian(), one at a time): about 3 ns per complex sample on a core with
// 512-bit vectors, 8 with 256-bit ones, 11 with the base x86-64 set.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/types.h"

namespace tarvio {

// SplitMix64's finaliser.
constexpr uint64_t splitmix64_mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// The streams of the impairments.
enum class NoiseStream : uint64_t { Awgn = 1, PhaseNoise = 2 };

class CounterNoise {
 public:
  CounterNoise(uint64_t seed, NoiseStream stream);
  // Word i of the stream.
  uint64_t word(uint64_t i) const { return splitmix64_mix(key_ + (i + 1) * 0x9E3779B97F4A7C15ull); }
  // The complex Gaussian sample n (E|g|^2 = 2).
  cplx gaussian(uint64_t n) const;
  // out[k] = gaussian(first + k), k = 0 .. count-1.
  void gaussians(uint64_t first, size_t count, cplx* out) const;
  // out[k] = real Gaussian number first + k: the real and imaginary parts of
  // the complex samples taken in turn (number 2n is gaussian(n).real()).
  void real_gaussians(uint64_t first, size_t count, double* out) const;

 private:
  uint64_t key_;
};

// ln x for x > 0 and cos/sin of 2 pi u (|u| < 2^52), in portable arithmetic
// (see above).
double portable_log(double x);
void portable_sincos_2pi(double u, double& s, double& c);

}  // namespace tarvio
