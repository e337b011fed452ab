// MAC header bits: octet order and bit order of the fields, inactive fields,
// the hexadecimal entry rule and the field display text.
#include "mac/mac_header.h"

#include <gtest/gtest.h>

#include <vector>

#include "mac/mac_bits.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

// Octets in transmission order, each sent least significant bit first.
Bits octets_on_air(const std::vector<unsigned>& octets) {
  Bits b;
  for (unsigned o : octets)
    for (int j = 0; j < 8; ++j) b.push_back(static_cast<uint8_t>((o >> j) & 1u));
  return b;
}

TEST(MacHeaderBits, FrameControlTextIsTheOctetsInTransmissionOrder) {
  MacHeader h;
  h.FrameCntrl.Contents = 0x0801;
  const Bits bits = MacHeaderBits(h);
  ASSERT_EQ(bits.size(), 240u);
  EXPECT_EQ(Bits(bits.begin(), bits.begin() + 16), (Bits{0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(MacHeaderBits, FieldsFollowTheDataFrameOrder) {
  MacHeader h;
  h.FrameCntrl.Contents = 0x0801;
  h.DurationID.Contents = 0x1234;
  h.Address1.Contents = 0x123456789ABC;
  h.Address2.Contents = 0xFFFFFFFFFFFF;
  h.Address3.Contents = 0x010203040506;
  h.SeqCntrl.Contents = 0xA05F;
  h.Address4.Contents = 0x800000000001;
  const Bits expected =
      octets_on_air({0x08, 0x01, 0x12, 0x34, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                     0xFF, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xA0, 0x5F, 0x80, 0x00, 0x00, 0x00, 0x00, 0x01});
  EXPECT_EQ(MacHeaderBits(h), expected);

  // Without Address4 the header is 24 bytes and nothing else moves.
  h.Address4.Active = 0;
  EXPECT_EQ(MacHeaderBits(h), Bits(expected.begin(), expected.begin() + 24 * 8));
  // Dropping a middle field closes the gap.
  h.DurationID.Active = 0;
  Bits no_duration(expected.begin(), expected.begin() + 16);
  no_duration.insert(no_duration.end(), expected.begin() + 32, expected.begin() + 24 * 8);
  EXPECT_EQ(MacHeaderBits(h), no_duration);
}

TEST(MacHeaderBits, AllFieldsInactiveGiveAnEmptyStream) {
  MacHeader h;
  for (auto* f : {&h.FrameCntrl, &h.DurationID, &h.Address1, &h.Address2, &h.Address3, &h.SeqCntrl, &h.Address4})
    f->Active = 0;
  RecalcBitStream(h);
  EXPECT_TRUE(h.BitStream.empty());
}

TEST(MacHeaderBits, ValueOutsideItsFieldIsRefused) {
  MacHeader h;
  h.SeqCntrl.Contents = 0x10000;  // only reachable by editing a stored record
  EXPECT_THROW(MacHeaderBits(h), std::invalid_argument);
}

TEST(FieldEntry, HexTextIsClampedToTheFieldWidth) {
  MacField f{0, 2, 1};
  EXPECT_TRUE(enter_hex_field(f, "1FFFF"));
  EXPECT_EQ(f.Contents, 0xFFFF);
  EXPECT_EQ(HexString(f.Contents, f.Size), "FFFF");
  EXPECT_TRUE(enter_hex_field(f, "5"));
  EXPECT_EQ(HexString(f.Contents, f.Size), "0005");
  EXPECT_TRUE(enter_hex_field(f, "a0b"));
  EXPECT_EQ(f.Contents, 0xA0B);
  MacField addr{0, 6, 1};
  EXPECT_TRUE(enter_hex_field(addr, "123456789abc"));
  EXPECT_EQ(addr.Contents, 0x123456789ABC);
  EXPECT_TRUE(enter_hex_field(addr, "FFFFFFFFFFFFFFFFFFFFFFFFFFFF"));
  EXPECT_EQ(addr.Contents, 0xFFFFFFFFFFFF);
}

TEST(FieldEntry, TextThatIsNotHexKeepsThePreviousValue) {
  MacField f{0x1234, 2, 1};
  for (const char* bad : {"12G4", "", "0x12", "-5", "1.5", "12 34"}) {
    EXPECT_FALSE(enter_hex_field(f, bad)) << bad;
    EXPECT_EQ(f.Contents, 0x1234) << bad;
  }
}

TEST(HexString, PadsButNeverCuts) {
  EXPECT_EQ(HexString(0, 2), "0000");
  EXPECT_EQ(HexString(0x123456789ABC, 6), "123456789ABC");
  EXPECT_EQ(HexString(0x12345, 2), "12345");
  // Half-byte widths (the clock-switch entries): 0.5 byte one digit, 1.5 bytes three.
  EXPECT_EQ(HexString(7, 0.5), "7");
  EXPECT_EQ(HexString(0x1D, 1.5), "01D");
  EXPECT_EQ(Registry::instance().call("HexString", {Value(255.0), Value(1.0)}).at(0).str(), "FF");
}

TEST(MacHeaderState, DefaultAndRecalcWorkOnTheEditedHeader) {
  state().MAChdr.Address2.Contents = 7;
  state().MAChdr.Address2.Active = 0;
  state().MAChdr.BitStream.clear();
  Registry::instance().call("defaultMAChdr", {}, 0);
  EXPECT_EQ(state().MAChdr.Address2.Contents, 0.0);
  EXPECT_EQ(state().MAChdr.Address2.Active, 1.0);
  EXPECT_EQ(state().MAChdr.Address4.Size, 6.0);
  EXPECT_EQ(state().MAChdr.BitStream, std::vector<double>(240, 0.0));

  state().MAChdr.FrameCntrl.Contents = 0x0801;
  state().MAChdr.Address4.Active = 0;
  Registry::instance().call("RecalcBitStream", {}, 0);
  ASSERT_EQ(state().MAChdr.BitStream.size(), 192u);
  EXPECT_EQ(state().MAChdr.BitStream[3], 1.0);
  EXPECT_EQ(state().MAChdr.BitStream[8], 1.0);
}

}  // namespace
}  // namespace tarvio
