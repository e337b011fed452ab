// Table-driven DATA bit processing of the OFDM frame builder: the scrambler
// as a 127-bit sequence, the K=7 encoder as a state table, puncturing and
// interleaving as one index table per rate, and the constellation as a
// point table. The element-wise operations (Dot11a_Scramble,
// Dot11a_ConvolEncode, Dot11a_Interleave, Dot11a_ConvertToIQ) remain the
// definition; these kernels give the same values without per-bit loops over
// shift registers, per-element erasing or per-symbol allocation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/types.h"

namespace tarvio {

// XORs bits[0 .. n-1] with the scrambler sequence of `seed` (0..127), as
// Dot11a_Scramble(bits, dot11a_seed_bits(seed)) does.
void dot11a_scramble_in_place(uint8_t* bits, size_t n, unsigned seed);

// Encodes, punctures, interleaves and maps the DATA field symbol by symbol.
// The encoder state runs on from symbol to symbol, starting at zero.
class Dot11aBitKernel {
 public:
  // modulation 1..4, encoderRate one of 1/2, 2/3, 3/4, 1 (uncoded).
  Dot11aBitKernel(double modulation, double encoderRate, bool interleaved);

  size_t data_bits_per_symbol() const { return ndbps_; }
  size_t coded_bits_per_symbol() const { return ncbps_; }

  // Restarts the encoder in the all-zero state.
  void reset() { state_ = 0; }

  // One symbol: ndbps data bits (0/1) in, the 48 mapped sub-carrier values
  // out.
  void symbol(const uint8_t* data, cplx* mapped48);

 private:
  size_t nbpsc_ = 1, ncbps_ = 48, ndbps_ = 24;
  bool coded_ = true;
  unsigned state_ = 0;
  // For each interleaved coded bit (in mapping order), its position in the
  // unpunctured encoder output of the symbol (A1 B1 A2 B2 ...), or in the
  // data bits when uncoded.
  std::vector<uint16_t> source_;
  std::vector<uint8_t> encoded_;  // 2 * ndbps unpunctured coded bits
  std::vector<cplx> points_;      // 2^nbpsc constellation points
};

}  // namespace tarvio
