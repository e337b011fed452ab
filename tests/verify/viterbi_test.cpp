// The Viterbi decoders correct channel errors: random bits encoded, a few
// coded bits inverted, decoded back; and the table decoder agrees with the
// fast one on the same code.
#include "verify/viterbi.h"

#include <gtest/gtest.h>

#include <random>

namespace tarvio::verify {
namespace {

TEST(ViterbiTest, CorrectsScatteredErrors) {
  for (auto [g0, g1] : {std::pair{0x6Du, 0x4Fu}, std::pair{0x5Bu, 0x7Du}}) {
    ViterbiK7 v(g0, g1);
    std::mt19937 gen(g0);
    Bits in(506, 0);  // 500 random bits and the six tail zeros
    for (size_t i = 0; i < 500; ++i) in[i] = static_cast<uint8_t>(gen() & 1u);
    Bits coded;
    v.encode(in, coded);
    std::vector<float> soft(coded.size());
    for (size_t i = 0; i < coded.size(); ++i) soft[i] = coded[i] ? 1.0f : -1.0f;
    for (size_t i = 7; i < soft.size(); i += 41) soft[i] = -soft[i];  // one error in 41
    Bits out;
    v.decode(soft.data(), in.size(), true, out);
    EXPECT_EQ(out, in);
    // The table decoder on the same trellis (state: six past bits, newest in bit 0).
    Trellis t;
    t.states = 64;
    t.inputs = 2;
    t.labels = 4;
    for (unsigned s = 0; s < 64; ++s)
      for (unsigned u = 0; u < 2; ++u) {
        Bits one, c;
        const unsigned r = (s << 1) | u;
        for (int k = 6; k >= 0; --k) one.push_back((r >> k) & 1u);
        v.encode(one, c);
        t.next.push_back(r & 63u);
        t.label.push_back(c[12] | c[13] << 1);
      }
    TrellisViterbi tv(t);
    std::vector<float> m(4 * in.size());
    for (size_t k = 0; k < in.size(); ++k)
      for (unsigned l = 0; l < 4; ++l)
        m[4 * k + l] = -((l & 1u ? 1 : -1) * soft[2 * k] + (l & 2u ? 1 : -1) * soft[2 * k + 1]);
    std::vector<uint32_t> sym;
    tv.decode(m.data(), in.size(), true, sym);
    size_t same = 0;
    for (size_t i = 0; i < in.size(); ++i) same += sym[i] == in[i];
    EXPECT_EQ(same, in.size());
  }
}

// Error-free input, punctured or not, is decoded without the trellis search
// and exactly; one inverted value sends it through the trellis, which
// corrects it; an unterminated path is taken as it ends.
TEST(ViterbiTest, ErrorFreeInputSkipsTheTrellis) {
  // Sent bits per step over one puncturing period: 1/2, 2/3 and 3/4.
  const std::vector<std::vector<std::pair<bool, bool>>> puncturings = {
      {{true, true}}, {{true, true}, {true, false}}, {{true, true}, {true, false}, {false, true}}};
  for (auto [g0, g1] : {std::pair{0x6Du, 0x4Fu}, std::pair{0x5Bu, 0x7Du}})
    for (const auto& sent : puncturings)
      for (bool terminated : {true, false}) {
        SCOPED_TRACE(testing::Message() << std::hex << g0 << " period " << sent.size() << " terminated " << terminated);
        ViterbiK7 v(g0, g1);
        std::mt19937 gen(g0 + static_cast<unsigned>(sent.size()));
        std::uniform_real_distribution<float> magnitude(0.05f, 3.0f);
        Bits in(606, 0);
        for (size_t i = 0; i < (terminated ? 600 : 606); ++i) in[i] = static_cast<uint8_t>(gen() & 1u);
        Bits coded;
        v.encode(in, coded);
        std::vector<float> soft(coded.size(), 0.0f);
        for (size_t i = 0; i < coded.size(); ++i) {
          const auto& p = sent[(i / 2) % sent.size()];
          if (i % 2 == 0 ? p.first : p.second) soft[i] = (coded[i] ? 1.0f : -1.0f) * magnitude(gen);
        }
        Bits out;
        EXPECT_TRUE(v.decode(soft.data(), in.size(), terminated, out));
        EXPECT_EQ(out, in);
        size_t flip = 301;
        while (soft[flip] == 0) ++flip;
        soft[flip] = -soft[flip];
        EXPECT_FALSE(v.decode(soft.data(), in.size(), terminated, out));
        EXPECT_EQ(out, in);
      }
}

}  // namespace
}  // namespace tarvio::verify
