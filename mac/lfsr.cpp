// Fibonacci shift-register sequences and the shift-register checksum.
#include "mac/lfsr.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "runtime/memory_check.h"
#include "runtime/registry.h"

namespace tarvio {

Bits Lfsr(int order, const std::vector<double>& taps, size_t m, const Bits& seed) {
  if (order < 1) throw std::invalid_argument("Lfsr: the order must be at least 1.");
  const size_t n = static_cast<size_t>(order);
  if (seed.size() != n)
    throw std::invalid_argument("Lfsr: the seed has " + std::to_string(seed.size()) + " bits; the order " +
                                std::to_string(order) + " needs exactly that many.");
  if (taps.size() < n)
    throw std::invalid_argument("Lfsr: " + std::to_string(taps.size()) + " coefficients given; at least " +
                                std::to_string(order) + " are needed.");
  // Offsets (i - order + k) of the non-zero coefficients.
  std::vector<size_t> used;
  for (size_t k = 0; k < n; ++k)
    if (std::fmod(std::abs(taps[k]), 2.0) == 1.0) used.push_back(k);
  Bits a(std::max(m, n), 0);
  for (size_t i = 0; i < n; ++i) a[i] = seed[i] ? 1 : 0;
  for (size_t i = n; i < a.size(); ++i) {
    uint8_t v = 0;
    for (size_t k : used) v ^= a[i - n + k];
    a[i] = v;
  }
  return a;
}

Bits LfsrChecksum(const std::vector<double>& taps, const Bits& initalstate, const Bits& data) {
  const size_t L = initalstate.size();
  if (taps.size() < L + 1)
    throw std::invalid_argument("LfsrChecksum: " + std::to_string(taps.size()) + " coefficients given; a " +
                                std::to_string(L) + "-bit register needs " + std::to_string(L + 1) + ".");
  Bits t(L);
  for (size_t k = 0; k < L; ++k) t[k] = std::fmod(std::abs(taps[k]), 2.0) == 1.0 ? 1 : 0;
  Bits s(L);
  for (size_t k = 0; k < L; ++k) s[k] = initalstate[k] ? 1 : 0;
  if (L == 0) return s;
  for (uint8_t d : data) {
    const uint8_t carry = static_cast<uint8_t>((d ? 1 : 0) ^ s[L - 1]);
    for (size_t k = L - 1; k >= 1; --k) s[k] = static_cast<uint8_t>((carry & t[k]) ^ s[k - 1]);
    s[0] = static_cast<uint8_t>(carry & t[0]);
  }
  std::reverse(s.begin(), s.end());
  return s;
}

// ---- registered operations ----------------------------------------------

TARVIO_OP(
    "Lfsr", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const double order = arg_required(in, 0, "Lfsr").to_double();
      const double m = arg_required(in, 2, "Lfsr").to_double();
      if (order != std::floor(order) || order < 1 || order > 64)
        throw std::invalid_argument("Lfsr: the order must be an integer from 1 to 64.");
      if (!(m >= 0) || m > 1e9) throw std::invalid_argument("Lfsr: the length must be a non-negative number.");
      check_memory("Lfsr", std::floor(m), 9);  // the bits and their row
      return {Value::row(Lfsr(static_cast<int>(order), arg_required(in, 1, "Lfsr").to_reals(),
                              static_cast<size_t>(std::floor(m)), arg_required(in, 3, "Lfsr").to_bits()))};
    },
    "a = Lfsr(order, taps, m, seed): m bits of a Fibonacci shift register starting with the seed");

TARVIO_OP(
    "LfsrChecksum", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(LfsrChecksum(arg_required(in, 0, "LfsrChecksum").to_reals(),
                                      arg_required(in, 1, "LfsrChecksum").to_bits(),
                                      arg_required(in, 2, "LfsrChecksum").to_bits()))};
    },
    "checksum = LfsrChecksum(taps, initalstate, data): shift-register checksum, last register bit first");

}  // namespace tarvio
