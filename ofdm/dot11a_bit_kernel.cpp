// Table-driven scrambler, encoder, puncturing, interleaver and mapper of the
// OFDM DATA symbols.
#include "ofdm/dot11a_bit_kernel.h"

#include <algorithm>
#include <bit>

#include "ofdm/dot11a_data.h"
#include "ofdm/dot11a_mapping.h"

namespace tarvio {

namespace {

// The generators g0 = 133 and g1 = 171 (octal) as masks over the encoder
// register, bit k holding the input bit of delay k.
constexpr unsigned kG0 = 0x6D;  // delays 0, 2, 3, 5, 6
constexpr unsigned kG1 = 0x4F;  // delays 0, 1, 2, 3, 6

// For each of the 128 register values: bit 0 = output A, bit 1 = output B.
constexpr std::array<uint8_t, 128> kEncoderOutputs = [] {
  std::array<uint8_t, 128> t{};
  for (unsigned s = 0; s < 128; ++s)
    t[s] = static_cast<uint8_t>((std::popcount(s & kG0) & 1) | ((std::popcount(s & kG1) & 1) << 1));
  return t;
}();

// The position in the unpunctured output (A1 B1 A2 B2 ...) of punctured
// coded bit p: rate 2/3 sends A1 B1 A2 of every four, rate 3/4 A1 B1 A2 B3 of
// every six.
size_t unpunctured_position(size_t p, double rate) {
  static const size_t keep23[3] = {0, 1, 2};
  static const size_t keep34[4] = {0, 1, 2, 5};
  if (rate == 2.0 / 3.0) return 4 * (p / 3) + keep23[p % 3];
  if (rate == 0.75) return 6 * (p / 4) + keep34[p % 4];
  return p;
}

// The interleaver's source position of output bit j: the inverse of
// k -> j with i = (N/16)(k mod 16) + floor(k/16) and
// j = s*floor(i/s) + (i + N - floor(16 i/N)) mod s.
std::vector<size_t> deinterleave_table(size_t n) {
  const size_t s = std::max<size_t>(n / 48 / 2, 1);
  std::vector<size_t> from(n);
  for (size_t k = 0; k < n; ++k) {
    const size_t i = (n / 16) * (k % 16) + k / 16;
    const size_t j = s * (i / s) + (i + n - (16 * i) / n) % s;
    from[j] = k;
  }
  return from;
}

}  // namespace

void dot11a_scramble_in_place(uint8_t* bits, size_t n, unsigned seed) {
  // The register repeats after 127 steps (the all-zero register gives
  // zeros), so one period of the sequence serves the whole row.
  uint8_t seq[127];
  unsigned r = seed & 0x7F;
  for (uint8_t& b : seq) {
    const unsigned f = ((r >> 3) ^ (r >> 6)) & 1u;
    r = ((r << 1) | f) & 0x7F;
    b = static_cast<uint8_t>(f);
  }
  for (size_t start = 0; start < n; start += 127) {
    const size_t count = std::min<size_t>(127, n - start);
    uint8_t* b = bits + start;
    for (size_t k = 0; k < count; ++k) b[k] = static_cast<uint8_t>((b[k] != 0 ? 1 : 0) ^ seq[k]);
  }
}

Dot11aBitKernel::Dot11aBitKernel(double modulation, double encoderRate, bool interleaved) {
  const double rate = dot11a_encoder_rate(encoderRate);
  const std::string& format = dot11a_format_name(modulation);
  nbpsc_ = static_cast<size_t>(dot11a_bits_per_subcarrier(modulation));
  ncbps_ = 48 * nbpsc_;
  coded_ = rate != 1.0;
  ndbps_ = rate == 0.5 ? ncbps_ / 2 : rate == 0.75 ? ncbps_ * 3 / 4 : rate == 1.0 ? ncbps_ : ncbps_ * 2 / 3;

  const std::vector<size_t> from = interleaved ? deinterleave_table(ncbps_) : std::vector<size_t>();
  source_.resize(ncbps_);
  for (size_t j = 0; j < ncbps_; ++j)
    source_[j] = static_cast<uint16_t>(unpunctured_position(interleaved ? from[j] : j, rate));
  encoded_.resize(2 * ndbps_);

  // Each point is the mapper's own value for its bit pattern, first bit in
  // the most significant place of the index.
  points_.resize(size_t(1) << nbpsc_);
  uint8_t pattern[6];
  for (size_t idx = 0; idx < points_.size(); ++idx) {
    for (size_t t = 0; t < nbpsc_; ++t) pattern[t] = static_cast<uint8_t>((idx >> (nbpsc_ - 1 - t)) & 1u);
    dot11a_map_bits(pattern, nbpsc_, format, &points_[idx]);
  }
}

namespace {

// The 48 points of a symbol from the interleaved bits, NB bits to a point.
template <size_t NB>
void map_points(const uint8_t* bits, const uint16_t* src, const cplx* points, cplx* mapped48) {
  for (size_t m = 0; m < 48; ++m, src += NB) {
    unsigned idx = 0;
    for (size_t t = 0; t < NB; ++t) idx = (idx << 1) | (bits[src[t]] != 0 ? 1u : 0u);
    mapped48[m] = points[idx];
  }
}

}  // namespace

void Dot11aBitKernel::symbol(const uint8_t* data, cplx* mapped48) {
  const uint8_t* bits = data;
  if (coded_) {
    unsigned s = state_;
    uint8_t* enc = encoded_.data();
    for (size_t n = 0; n < ndbps_; ++n) {
      s = ((s << 1) | (data[n] != 0 ? 1u : 0u)) & 0x7F;
      const uint8_t ab = kEncoderOutputs[s];
      enc[2 * n] = ab & 1u;
      enc[2 * n + 1] = ab >> 1;
    }
    state_ = s;
    bits = enc;
  }
  switch (nbpsc_) {
    case 1:
      map_points<1>(bits, source_.data(), points_.data(), mapped48);
      break;
    case 2:
      map_points<2>(bits, source_.data(), points_.data(), mapped48);
      break;
    case 4:
      map_points<4>(bits, source_.data(), points_.data(), mapped48);
      break;
    default:
      map_points<6>(bits, source_.data(), points_.data(), mapped48);
      break;
  }
}

}  // namespace tarvio
