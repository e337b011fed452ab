// Bit-level helpers shared across the generators: integer to bits, octet
// bit reversal, hexadecimal display of a header field.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/types.h"

namespace tarvio {

// Binary digits of the non-negative integer x, least significant first
// ("right-msb") or most significant first ("left-msb"), at least len digits.
Bits BitVector(double x, double len, const std::string& orientation);
// Reverses the bit order inside every group of 8 bits (length must be a
// multiple of 8).
Bits ByteSwap(const Bits& databits);
// Upper-case hexadecimal, left-padded with "0" to 2*size digits.
std::string HexString(double num, double size);

}  // namespace tarvio
