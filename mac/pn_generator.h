// Maximal-length pseudo-noise sequences (PN9, PN15 and orders 3..31) from a
// Fibonacci shift register with a fixed polynomial per order.
#pragma once

#include <optional>
#include <vector>

#include "runtime/types.h"

namespace tarvio {

// `dataLength` bits of the order-n sequence (period 2^n - 1). Unset
// arguments take their defaults: n = 9, dataLength = 2^n - 1, no extra
// inversion, seed of n ones, no zero suppression.
//  - n is clamped to 3..31; a non-integer order becomes 9.
//  - seed: a single value 0 means n ones, any other single value n-1 zeros
//    and a 1; a row shorter than n is replaced by n ones, a longer one cut
//    to n entries, an all-zero row gets its n-th entry set to 1.
//  - userInvert = 1 complements the sequence (on top of the orders 15, 23,
//    29, 31 that are complemented as standard; the two cancel).
//  - zeroSuppresion = 1 (order 20 only) limits zero runs to 14 bits.
// The register output starts with the seed itself.
Bits PNgenerator(std::optional<double> n = std::nullopt, std::optional<double> dataLength = std::nullopt,
                 double userInvert = 0, const std::optional<std::vector<double>>& seed = std::nullopt,
                 double zeroSuppresion = 0);

}  // namespace tarvio
