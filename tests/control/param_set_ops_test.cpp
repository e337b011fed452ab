// The parameter-set operations shared by the main window and the unattended
// path: data-rate list, format-family swaps of oversampling and scaling, the
// oversampling entry and the playback sample rate.
#include "control/param_set_ops.h"

#include <gtest/gtest.h>

#include "control/initialize.h"
#include "control/windowless_redraw.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

class ParamSetOps : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeAll();
    state().dontSetSampleRate = 0;
  }
  Parameters& p() { return state().parameters; }
  SigGenSettings& sg() { return state().sigGenSettings; }
  void rate(int position) {
    UpdateDataRate(p(), sg(), position, 1, state().dontSetSampleRate);
    redraw_format_records(p(), sg(), state().dontSetSampleRate);
  }
};

TEST_F(ParamSetOps, SixMbitFromElevenSwapsInTheOfdmSettings) {
  rate(4);
  EXPECT_EQ(p().format, 1);
  EXPECT_EQ(p().dataRate, 6);
  EXPECT_EQ(p().encoderRate, 0.5);
  EXPECT_EQ(p().modulation, 1);
  EXPECT_EQ(p().OverSampling, 2);  // OverSampling_a
  EXPECT_EQ(p().OverSampling_b, 4);
  EXPECT_EQ(sg().Scaling, 95);  // dot11aScaling
  EXPECT_EQ(p().dot11bScaling, 85);
  ASSERT_TRUE(sg().SamplingRate.has_value());
  EXPECT_EQ(*sg().SamplingRate, 40000000);
  EXPECT_EQ(p().preambleType, 2);
  // Back to 11 Mbit/s swaps the DSSS values back in.
  rate(6);
  EXPECT_EQ(p().OverSampling, 4);
  EXPECT_EQ(sg().Scaling, 85);
  EXPECT_EQ(*sg().SamplingRate, 44000000);
}

TEST_F(ParamSetOps, ErpToDsssSwapsNothing) {
  rate(9);  // 22 Mbit/s, format 3
  EXPECT_EQ(p().format, 3);
  EXPECT_EQ(p().highRateMod, 1);
  sg().Scaling = 77;
  rate(6);  // 11 Mbit/s, format 2
  EXPECT_EQ(p().format, 2);
  EXPECT_EQ(p().OverSampling, 4);
  EXPECT_EQ(p().OverSampling_a, 2);
  EXPECT_EQ(sg().Scaling, 77);
  EXPECT_EQ(p().dot11aScaling, 95);
}

TEST_F(ParamSetOps, ThirtyThreeUsesTheSampleRateListAndNoSwap) {
  p().format = 1;  // coming from OFDM
  p().OverSampling = 2;
  UpdateDataRate(p(), sg(), 11, 2, state().dontSetSampleRate);
  EXPECT_EQ(p().format, 3);
  EXPECT_EQ(p().OverSampling, 6);
  EXPECT_EQ(sg().Scaling, 85);  // no swap at 33 Mbit/s
  EXPECT_EQ(*sg().SamplingRate, 66000000);
}

TEST_F(ParamSetOps, DataRateListRoundTrip) {
  const double rates[] = {1, 2, 5.5, 6, 9, 11, 12, 18, 22, 24, 33, 36, 48, 54};
  for (int pos = 1; pos <= 14; ++pos) {
    EXPECT_EQ(data_rate_entry(pos).dataRate, rates[pos - 1]);
    EXPECT_EQ(data_rate_position(rates[pos - 1]), pos);
  }
  EXPECT_EQ(data_rate_position(7), 0);
  EXPECT_THROW(data_rate_entry(15), std::out_of_range);
  EXPECT_THROW(data_rate_entry(0), std::out_of_range);
}

struct EntryCase {
  double format;
  std::string entry;
  double os, idle, ramp;
};

class OversampleEntry : public ParamSetOps, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(OversampleEntry, RoundsLimitsAndRescales) {
  const EntryCase& c = GetParam();
  p().format = c.format;
  p().OverSampling = 4;  // idleSamples 4400, rampLength 88
  UpdateOversampleRate(c.entry);
  EXPECT_EQ(p().OverSampling, c.os);
  EXPECT_EQ(p().idleSamples, c.idle);
  EXPECT_EQ(p().rampLength, c.ramp);
  EXPECT_EQ(*sg().SamplingRate, (c.format == 1 ? 20e6 : 11e6) * c.os);
}

INSTANTIATE_TEST_SUITE_P(Entries, OversampleEntry,
                         ::testing::Values(EntryCase{2, "12", 9, 9900, 198}, EntryCase{2, "1", 2, 2200, 44},
                                           EntryCase{1, "7", 5, 5500, 110}, EntryCase{2, "3", 3, 3300, 66},
                                           EntryCase{2, "2.5", 3, 3300, 66},  // halves round away from zero
                                           EntryCase{3, " 6 ", 6, 6600, 132}, EntryCase{2, "abc", 4, 4400, 88}));

TEST_F(ParamSetOps, SampleRateOnlyWhileAllowed) {
  sg().SamplingRate.reset();
  SetSampleRate(p(), sg(), std::nullopt);
  EXPECT_FALSE(sg().SamplingRate.has_value());
  SetSampleRate(p(), sg(), 1.0);
  EXPECT_FALSE(sg().SamplingRate.has_value());
  p().OverSampling = 7;
  SetSampleRate(p(), sg(), 0.0);
  EXPECT_EQ(*sg().SamplingRate, 77000000);
}

TEST_F(ParamSetOps, RegisteredOperationsWorkOnTheProgramRecords) {
  Registry::instance().call("UpdateDataRate", {Value(14.0)}, 0);
  EXPECT_EQ(p().dataRate, 54);
  EXPECT_EQ(p().OverSampling, 2);
  // No window: the records get the redraw's changes directly.
  EXPECT_EQ(*sg().SamplingRate, 40000000);
  EXPECT_EQ(p().preambleType, 2);
  Registry::instance().call("UpdateOversampleRate", {Value("4")}, 0);
  EXPECT_EQ(p().OverSampling, 4);
  Registry::instance().call("SetFaceless", {}, 0);
  EXPECT_EQ(p().faceless, 1);
  EXPECT_THROW(Registry::instance().call("UpdateDataRate", {Value(15.0)}, 0), std::out_of_range);
}

}  // namespace
}  // namespace tarvio
