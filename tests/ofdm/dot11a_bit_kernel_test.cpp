// The table-driven DATA kernels against the element-wise operations that
// define them: scrambler for every seed, and encoder, puncturing,
// interleaver and mapper for every modulation, code rate and interleaver
// switch, over several symbols of random bits.
#include "ofdm/dot11a_bit_kernel.h"

#include <gtest/gtest.h>

#include <random>

#include "ofdm/dot11a_convol_encode.h"
#include "ofdm/dot11a_interleave.h"
#include "ofdm/dot11a_mapping.h"
#include "ofdm/dot11a_scramble.h"

namespace tarvio {
namespace {

Bits random_bits(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  Bits b(n);
  for (uint8_t& x : b) x = static_cast<uint8_t>(gen() & 1u);
  return b;
}

TEST(Dot11aBitKernel, ScramblerMatchesTheRegisterForEverySeed) {
  const Bits msg = random_bits(1000, 7);
  for (unsigned seed = 0; seed < 128; ++seed) {
    Bits fast = msg;
    dot11a_scramble_in_place(fast.data(), fast.size(), seed);
    ASSERT_EQ(fast, Dot11a_Scramble(msg, dot11a_seed_bits(seed))) << "seed " << seed;
  }
}

TEST(Dot11aBitKernel, SymbolsMatchEncoderInterleaverAndMapper) {
  const double rates[] = {0.5, 2.0 / 3.0, 0.75, 1.0};
  for (int modulation = 1; modulation <= 4; ++modulation)
    for (double rate : rates)
      for (bool interleaved : {true, false}) {
        Dot11aBitKernel kernel(modulation, rate, interleaved);
        const size_t ndbps = kernel.data_bits_per_symbol(), ncbps = kernel.coded_bits_per_symbol();
        const size_t nsym = 5;
        const Bits data = random_bits(nsym * ndbps, unsigned(modulation * 10 + rate * 4));
        const Bits coded = rate == 1.0 ? data : Dot11a_ConvolEncode(data, rate);
        ASSERT_EQ(coded.size(), nsym * ncbps);
        const std::string& format = dot11a_format_name(modulation);
        for (size_t i = 0; i < nsym; ++i) {
          Bits block(coded.begin() + std::ptrdiff_t(i * ncbps), coded.begin() + std::ptrdiff_t((i + 1) * ncbps));
          if (interleaved) block = Dot11a_Interleave(block);
          const CVec expected = Dot11a_ConvertToIQ(block, format);
          cplx got[48];
          kernel.symbol(data.data() + i * ndbps, got);
          for (size_t m = 0; m < 48; ++m)
            ASSERT_EQ(got[m], expected[m])
                << format << " rate " << rate << " interleaved " << interleaved << " symbol " << i << " carrier " << m;
        }
      }
}

}  // namespace
}  // namespace tarvio
