// Sequence and fragment numbers in the MAC header bit row: their positions
// for the active fields, stepping with the wrap to 1, and the payload limit.
#include "control/sequence_control.h"

#include <gtest/gtest.h>

namespace tarvio {
namespace {

void write_lsb_first(std::vector<double>& bits, size_t bgn, size_t n, unsigned v) {
  for (size_t i = 0; i < n; ++i, v >>= 1) bits[bgn + i] = v & 1u;
}
unsigned read_lsb_first(const std::vector<double>& bits, size_t bgn, size_t n) {
  unsigned v = 0;
  for (size_t i = n; i-- > 0;) v = (v << 1) | (bits[bgn + i] != 0 ? 1u : 0u);
  return v;
}

TEST(SeqCtrlOffsets, AllFieldsActiveGiveBits177To192) {
  const SeqCtrlOffsets o = calcSeqCtnrlOffsets(MacHeader{});
  // 1-based 177..180 and 181..192.
  EXPECT_EQ(o.osFragBgn, 176u);
  EXPECT_EQ(o.osFragEnd, 179u);
  EXPECT_EQ(o.osSeqBgn, 180u);
  EXPECT_EQ(o.osSeqEnd, 191u);
}

TEST(SeqCtrlOffsets, InactiveFieldsBeforeSeqCntrlMoveItForward) {
  MacHeader h;
  h.Address2.Active = 0;    // 6 bytes
  h.DurationID.Active = 0;  // 2 bytes
  h.Address4.Active = 0;    // after SeqCntrl: no effect
  const SeqCtrlOffsets o = calcSeqCtnrlOffsets(h);
  EXPECT_EQ(o.osFragBgn, 176u - 64u);
  EXPECT_EQ(o.osSeqEnd, 191u - 64u);
}

struct StepCase {
  unsigned from, to;
};

class SequenceStep : public ::testing::TestWithParam<StepCase> {};
TEST_P(SequenceStep, StepsAndWrapsToOne) {
  MacHeader h;
  const auto o = calcSeqCtnrlOffsets(h);
  write_lsb_first(h.BitStream, o.osSeqBgn, 12, GetParam().from);
  write_lsb_first(h.BitStream, o.osFragBgn, 4, 9);
  const auto before = h.BitStream;
  incrementSequenceControl(h, o.osSeqBgn, o.osSeqEnd);
  EXPECT_EQ(read_lsb_first(h.BitStream, o.osSeqBgn, 12), GetParam().to);
  // Nothing outside the 12 bits changes.
  for (size_t i = 0; i < h.BitStream.size(); ++i) {
    if (i >= o.osSeqBgn && i <= o.osSeqEnd) continue;
    ASSERT_EQ(h.BitStream[i], before[i]) << i;
  }
}
INSTANTIATE_TEST_SUITE_P(Values, SequenceStep,
                         ::testing::Values(StepCase{0, 1}, StepCase{1, 2}, StepCase{2047, 2048}, StepCase{4094, 4095},
                                           StepCase{4095, 1}));

class FragmentStep : public ::testing::TestWithParam<StepCase> {};
TEST_P(FragmentStep, StepsAndWrapsToOne) {
  MacHeader h;
  const auto o = calcSeqCtnrlOffsets(h);
  write_lsb_first(h.BitStream, o.osFragBgn, 4, GetParam().from);
  write_lsb_first(h.BitStream, o.osSeqBgn, 12, 77);
  incrementFragNum(h, o.osFragBgn, o.osFragEnd);
  EXPECT_EQ(read_lsb_first(h.BitStream, o.osFragBgn, 4), GetParam().to);
  EXPECT_EQ(read_lsb_first(h.BitStream, o.osSeqBgn, 12), 77u);
}
INSTANTIATE_TEST_SUITE_P(Values, FragmentStep,
                         ::testing::Values(StepCase{0, 1}, StepCase{7, 8}, StepCase{14, 15}, StepCase{15, 1}));

TEST(SequenceStepBounds, BitsBeyondTheHeaderAreRefused) {
  MacHeader h;
  h.BitStream.resize(100);
  EXPECT_THROW(incrementSequenceControl(h, 180, 191), std::out_of_range);
  EXPECT_EQ(h.BitStream.size(), 100u);
}

TEST(MaxDataLen, FollowsFormatHeaderAndFcs) {
  Parameters p;
  p.MACheader.Active = 1;
  p.MACheader.Length = 30;
  p.MACfcs.Active = 1;
  p.MACfcs.Length = 4;
  p.dataSourceType = 1;
  p.format = 1;
  p.dataLength = 5000;
  setMaxDataLen(p);
  EXPECT_EQ(p.maxDataLen, 4095 - 34);
  EXPECT_EQ(p.dataLength, 4061);
  p.MACfcs.Active = 0;
  setMaxDataLen(p);
  EXPECT_EQ(p.maxDataLen, 4065);
  p.format = 2;
  setMaxDataLen(p);
  EXPECT_EQ(p.maxDataLen, 2312);
  EXPECT_EQ(p.dataLength, 2312);
  p.dataLength = 0;
  p.dataSourceType = 5;  // sources 5 and 6 need at least one byte
  setMaxDataLen(p);
  EXPECT_EQ(p.dataLength, 1);
}

}  // namespace
}  // namespace tarvio
