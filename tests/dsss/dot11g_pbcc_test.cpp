// The rate-2/3 PBCC-22 encoder and the 8PSK ERP-PBCC payload: impulse
// responses, linearity, symbol counts, the cover sequence and the phase turn
// by the inverse of the phase reference.
#include "dsss/dot11g_pbcc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>

#include "runtime/registry.h"

namespace tarvio {
namespace {

const double z = 1 / std::sqrt(2.0);

Bits random_bits(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bits b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng() & 1u);
  return b;
}

// Per-clock output triples for a single 1 at input pair 0 (position 0 = b0,
// 1 = b1) followed by zeros: the generators' coefficients of D^0..D^4.
TEST(Dot11gPbcc22Encoder, ImpulseResponses) {
  const Bits expectB0 = {1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, 1, 0, 0};
  const Bits expectB1 = {0, 1, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0};
  Bits in(12, 0);
  in[0] = 1;
  Bits out = Dot11g_PBCC22Encoder(in, 5, kPbcc22GenMatrix);
  ASSERT_EQ(out.size(), 18u);
  EXPECT_EQ(Bits(out.begin(), out.begin() + 15), expectB0);
  EXPECT_EQ(Bits(out.begin() + 15, out.end()), Bits(3, 0));
  in[0] = 0;
  in[1] = 1;
  out = Dot11g_PBCC22Encoder(in, 5, kPbcc22GenMatrix);
  EXPECT_EQ(Bits(out.begin(), out.begin() + 15), expectB1);
  EXPECT_EQ(Bits(out.begin() + 15, out.end()), Bits(3, 0));
}

TEST(Dot11gPbcc22Encoder, IsLinearAndTimeInvariant) {
  const Bits a = random_bits(200, 1), b = random_bits(200, 2);
  Bits sum(200);
  for (size_t i = 0; i < 200; ++i) sum[i] = a[i] ^ b[i];
  const Bits ea = Dot11g_PBCC22Encoder(a, 5, kPbcc22GenMatrix), eb = Dot11g_PBCC22Encoder(b, 5, kPbcc22GenMatrix);
  const Bits es = Dot11g_PBCC22Encoder(sum, 5, kPbcc22GenMatrix);
  ASSERT_EQ(es.size(), 300u);
  for (size_t i = 0; i < es.size(); ++i) EXPECT_EQ(es[i], ea[i] ^ eb[i]) << i;
  // Delaying the input by one pair delays the output by one triple.
  Bits delayed(a.size(), 0);
  for (size_t i = 2; i < a.size(); ++i) delayed[i] = a[i - 2];
  const Bits ed = Dot11g_PBCC22Encoder(delayed, 5, kPbcc22GenMatrix);
  EXPECT_EQ(Bits(ed.begin() + 3, ed.end()), Bits(ea.begin(), ea.end() - 3));
}

TEST(Dot11gPbcc22Encoder, RejectsOddInputAndBadGenerators) {
  EXPECT_THROW(Dot11g_PBCC22Encoder(Bits(7, 0), 5, kPbcc22GenMatrix), std::invalid_argument);
  EXPECT_THROW(Dot11g_PBCC22Encoder(Bits(8, 0), 5, {{21, 2, 12}}), std::invalid_argument);
  EXPECT_THROW(Dot11g_PBCC22Encoder(Bits(8, 0), 5, {{21, 2, 12}, {10, 25}}), std::invalid_argument);
}

struct CountCase {
  size_t bits;
  double encoder;
  size_t symbols;
};
class Dot11gPbccCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(Dot11gPbccCount, SymbolCount) {
  const CountCase c = GetParam();
  for (double R : {22.0, 33.0})
    EXPECT_EQ(Dot11g_PBCC(random_bits(c.bits, 7), R, c.encoder, cplx(z, z)).size(), c.symbols)
        << c.bits << " bits, encoder " << c.encoder;
}
INSTANTIATE_TEST_SUITE_P(Cases, Dot11gPbccCount,
                         ::testing::Values(CountCase{8, 1, 8},  // 8 + 8 tail = 16 bits, 8 pairs, 24 coded bits
                                           CountCase{7, 1, 8},  // odd row: one 0 before the tail
                                           CountCase{0, 1, 4},  // tail only
                                           CountCase{12000, 1, 6004}, CountCase{8, 0, 3},  // 9 bits after padding
                                           CountCase{9, 0, 3}, CountCase{10, 0, 4}, CountCase{0, 0, 0},
                                           CountCase{12000, 0, 4000},
                                           CountCase{8, 2, 3}));  // any value other than 1 maps unencoded

TEST(Dot11gPbcc, AllZeroDataFollowsTheCoverSequence) {
  // Zero data, encoder on: every coded triple is 000 (v = 0, point z + jz);
  // with the reference (1+j)/sqrt2 the turn is 1, so the symbols are z + jz
  // where the cover bit is 0 and j(z + jz) where it is 1.
  const Bits cover = {0, 0, 1, 1, 0, 0, 1, 1, 1, 0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 1, 1, 1, 0, 0,
                      0, 1, 0, 1, 1, 0, 0, 1, 1, 1, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 1, 1, 0, 0};
  const CVec s = Dot11g_PBCC(Bits(88, 0), 33, 1, cplx(z, z));
  ASSERT_EQ(s.size(), 48u);
  for (size_t i = 0; i < s.size(); ++i) {
    const cplx want = cover[i] ? cplx(0, 1) * cplx(z, z) : cplx(z, z);
    EXPECT_NEAR(std::abs(s[i] - want), 0, 1e-12) << i;
  }
}

TEST(Dot11gPbcc, UncodedTripleLeastSignificantBitFirst) {
  // Triple 1 0 0 is v = 1: -z + jz (first cover bit 0).
  const CVec s = Dot11g_PBCC({1, 0, 0}, 22, 0, cplx(z, z));
  ASSERT_EQ(s.size(), 1u);
  EXPECT_NEAR(std::abs(s[0] - cplx(-z, z)), 0, 1e-12);
  // 0 0 1 is v = 4: j.
  EXPECT_NEAR(std::abs(Dot11g_PBCC({0, 0, 1}, 22, 0, cplx(z, z))[0] - cplx(0, 1)), 0, 1e-12);
}

TEST(Dot11gPbcc, PointsTurnByTheInverseOfThePhaseReference) {
  // With initialPhase = e^{j theta} the 8PSK points turn by pi/4 - theta: the
  // phase reference divides.
  const Bits data = random_bits(300, 11);
  const CVec ref = Dot11g_PBCC(data, 22, 1, cplx(z, z));
  for (double theta : {0.0, 0.3, -2.0, M_PI}) {
    const cplx p = std::polar(1.0, theta);
    const CVec s = Dot11g_PBCC(data, 22, 1, p);
    ASSERT_EQ(s.size(), ref.size());
    for (size_t i = 0; i < s.size(); ++i)
      ASSERT_NEAR(std::abs(s[i] - ref[i] * std::polar(1.0, M_PI / 4 - theta)), 0, 1e-12) << theta << " " << i;
  }
  // 33 Mbit/s maps exactly as 22.
  EXPECT_EQ(Dot11g_PBCC(data, 33, 1, cplx(0.6, -0.8)), Dot11g_PBCC(data, 22, 1, cplx(0.6, -0.8)));
}

TEST(Dot11gPbcc, OtherRatesAreRefused) {
  for (double r : {1.0, 5.5, 11.0, 54.0}) {
    try {
      Dot11g_PBCC(Bits(8, 0), r, 1, cplx(z, z));
      FAIL() << r;
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), "wrong data rate used while calling dot11g_PBCC()");
    }
  }
}

TEST(Dot11gPbcc, RegisteredForms) {
  const Registry& reg = Registry::instance();
  ASSERT_NE(reg.find("Dot11g_PBCC"), nullptr);
  EXPECT_EQ(reg.find("Dot11g_PBCC")->max_in, 4);
  EXPECT_EQ(reg.find("Dot11g_PBCC22Encoder")->max_in, 3);
  // genMatrix given as a 2 x 3 matrix (column-major).
  const Value g = Value::real(2, 3, {21, 10, 2, 25, 12, 12});
  const Bits in = random_bits(40, 3);
  EXPECT_EQ(reg.call("Dot11g_PBCC22Encoder", {Value::row(in), Value(5.0), g})[0].to_bits(),
            Dot11g_PBCC22Encoder(in, 5, kPbcc22GenMatrix));
  const auto s = reg.call("Dot11g_PBCC", {Value::row(in), Value(33.0), Value(1.0), Value::complex_row({cplx(z, z)})});
  EXPECT_EQ(s[0].to_complex(), Dot11g_PBCC(in, 33, 1, cplx(z, z)));
}

}  // namespace
}  // namespace tarvio
