// Frame check sequence: the published CRC-32 check value, a CRC value of 1,
// and agreement with an independent CRC-32 (Python's zlib) on random rows.
#include "mac/fcs.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>

#include "runtime/registry.h"

namespace tarvio {
namespace {

// Octets to bits, least significant bit of each octet first.
Bits lsb_first(const std::vector<uint8_t>& octets) {
  Bits b;
  for (uint8_t o : octets)
    for (int j = 0; j < 8; ++j) b.push_back(static_cast<uint8_t>((o >> j) & 1u));
  return b;
}

uint32_t value_of(const Bits& fcs) {
  uint32_t v = 0;
  for (size_t i = 0; i < fcs.size(); ++i) v |= static_cast<uint32_t>(fcs[i]) << i;
  return v;
}

TEST(Fcs, PublishedCheckValue) {
  const std::string s = "123456789";
  const Bits fcs = CCITT_CRC32(lsb_first(std::vector<uint8_t>(s.begin(), s.end())));
  ASSERT_EQ(fcs.size(), 32u);
  EXPECT_EQ(value_of(fcs), 0xCBF43926u);
}

TEST(Fcs, CrcValueOneIsAOneFollowedByZeros) {
  // CRC-32 over four octets is an affine bijection of the 32 message bits;
  // solve A m = 1 ^ crc(0) over GF(2) for the message whose CRC is 1.
  auto crc_of = [](uint32_t m) {
    return ccitt_crc32mx({uint8_t(m), uint8_t(m >> 8), uint8_t(m >> 16), uint8_t(m >> 24)});
  };
  const uint32_t c0 = crc_of(0);
  std::array<uint64_t, 32> rows{};  // augmented rows: bit r of column images, then the target
  for (int r = 0; r < 32; ++r) {
    uint64_t row = 0;
    for (int c = 0; c < 32; ++c) row |= static_cast<uint64_t>(((crc_of(1u << c) ^ c0) >> r) & 1u) << c;
    row |= static_cast<uint64_t>(((1u ^ c0) >> r) & 1u) << 32;
    rows[static_cast<size_t>(r)] = row;
  }
  for (int c = 0; c < 32; ++c) {
    int p = c;
    while (p < 32 && !((rows[static_cast<size_t>(p)] >> c) & 1u)) ++p;
    ASSERT_LT(p, 32);
    std::swap(rows[static_cast<size_t>(c)], rows[static_cast<size_t>(p)]);
    for (int r = 0; r < 32; ++r)
      if (r != c && ((rows[static_cast<size_t>(r)] >> c) & 1u))
        rows[static_cast<size_t>(r)] ^= rows[static_cast<size_t>(c)];
  }
  uint32_t m = 0;
  for (int c = 0; c < 32; ++c) m |= static_cast<uint32_t>((rows[static_cast<size_t>(c)] >> 32) & 1u) << c;
  const Bits fcs = Dot11_CalcMACfcs(lsb_first({uint8_t(m), uint8_t(m >> 8), uint8_t(m >> 16), uint8_t(m >> 24)}));
  Bits expected(32, 0);
  expected[0] = 1;
  EXPECT_EQ(fcs, expected);
}

TEST(Fcs, RandomRowsAgreeWithPythonZlib) {
  std::mt19937 gen(2024);
  for (size_t len : {0, 1, 2, 3, 14, 30, 31, 100, 1500}) {
    std::vector<uint8_t> octets(len);
    for (auto& o : octets) o = static_cast<uint8_t>(gen() & 0xFF);
    std::string hex;
    char buf[3];
    for (uint8_t o : octets) {
      std::snprintf(buf, sizeof buf, "%02x", o);
      hex += buf;
    }
    const std::string cmd =
        "/usr/bin/python3 -c \"import zlib,sys; print(zlib.crc32(bytes.fromhex(sys.argv[1])))\" '" + hex + "'";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    unsigned long ref = 0;
    const int got = std::fscanf(p, "%lu", &ref);
    pclose(p);
    ASSERT_EQ(got, 1) << "python3 did not answer";
    EXPECT_EQ(value_of(CCITT_CRC32(lsb_first(octets))), ref) << "length " << len;
  }
}

TEST(Fcs, ByNameForms) {
  const auto v = Registry::instance().call("Ccitt_crc32mx", {Value::real(3, 1, {49, 50, 51})}).at(0);
  EXPECT_EQ(v.to_double(), 2286445522.0);  // CRC-32 of "123" (0x884863D2)
  EXPECT_THROW(Registry::instance().call("Ccitt_crc32mx", {Value::real(1, 1, {256})}), std::invalid_argument);
  EXPECT_THROW(CCITT_CRC32(Bits(12, 0)), std::invalid_argument);
  const auto bits = Registry::instance().call("Dot11_CalcMACfcs", {Value::row(lsb_first({49, 50, 51}))}).at(0);
  EXPECT_EQ(value_of(bits.to_bits()), 0x884863D2u);
}

}  // namespace
}  // namespace tarvio
