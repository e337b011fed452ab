// Entry rules of the signal generator settings, the frequency display, the
// number-to-text rule of instrument commands, and the advanced dialog's
// working copy.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "instrument/siggen_entry.h"
#include "runtime/number_text.h"

using namespace tarvio;

struct TitleCase {
  const char* entered;
  const char* stored;
};

class TitleEntry : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleEntry, IsUpperCasedFilteredAndCut) { EXPECT_EQ(EntryTitle(GetParam().entered), GetParam().stored); }

INSTANTIATE_TEST_SUITE_P(Titles, TitleEntry,
                         ::testing::Values(TitleCase{"wlan test!", "WLANTEST"},  // blank and mark dropped
                                           TitleCase{"!!! ...", "BLANK"},        // nothing valid left
                                           TitleCase{"", "BLANK"},
                                           TitleCase{"ABCDEFGHIJKLMNOPQRSTUVWXY", "ABCDEFGHIJKLMNOPQRST"},  // 25 -> 20
                                           TitleCase{"a_b$c&d#e+f-g[h]i", "A_B$C&D#E+F-G[H]I"},  // every allowed sign
                                           TitleCase{"x/y\\z\"q.w", "XYZQW"}));

TEST(FrequencyEntry, UnitPositionScalesByThousandsAndClamps) {
  EXPECT_DOUBLE_EQ(EntryFrequency(2.412, 4, 0), 2.412e9);
  EXPECT_DOUBLE_EQ(EntryFrequency(2412, 3, 0), 2.412e9);
  EXPECT_DOUBLE_EQ(EntryFrequency(500, 2, 0), 500e3);
  EXPECT_DOUBLE_EQ(EntryFrequency(50, 1, 0), 100e3);   // below 100 kHz
  EXPECT_DOUBLE_EQ(EntryFrequency(5000, 4, 0), 1e12);  // above 1e12 Hz
  EXPECT_DOUBLE_EQ(EntryFrequency(NAN, 3, 7e8), 7e8);  // not a number: unchanged
  EXPECT_DOUBLE_EQ(EntrySamplingRate(40, 3, 0), 40e6);
  EXPECT_DOUBLE_EQ(EntrySamplingRate(0.5, 1, 0), 1);
  EXPECT_DOUBLE_EQ(EntrySamplingRate(200, 3, 0), 100e6);
}

TEST(LevelEntries, RoundAndClamp) {
  EXPECT_EQ(EntryAmplitude(-30.5, 0), -31);  // half away from zero
  EXPECT_EQ(EntryAmplitude(12.49, 0), 12);
  EXPECT_EQ(EntryAmplitude(45, 0), 30);
  EXPECT_EQ(EntryAmplitude(-200, 0), -136);
  EXPECT_DOUBLE_EQ(EntryScaling(85.555, 0), 85.56);
  EXPECT_DOUBLE_EQ(EntryScaling(0.2, 0), 1);
  EXPECT_DOUBLE_EQ(EntryScaling(250, 0), 100);
  EXPECT_EQ(EntryModAtten(10.5, 0), 11);
  EXPECT_EQ(EntryModAtten(-3, 0), 0);
  EXPECT_EQ(EntryModAtten(41, 0), 40);
  EXPECT_EQ(EntryModAtten(std::numeric_limits<double>::quiet_NaN(), 7), 7);
}

TEST(FrequencyDisplay, LargestUnitKeepingTheNumberAtLeastOne) {
  auto d = display_frequency(999);
  EXPECT_EQ(d.unit, "Hz");
  EXPECT_DOUBLE_EQ(d.value, 999);
  d = display_frequency(1000);
  EXPECT_EQ(d.unit, "kHz");
  EXPECT_DOUBLE_EQ(d.value, 1);
  d = display_frequency(2.412e9);
  EXPECT_EQ(d.unit, "GHz");
  EXPECT_EQ(d.unit_position, 4);
  EXPECT_DOUBLE_EQ(d.value, 2.412);
  d = display_frequency(999.9e6);
  EXPECT_EQ(d.unit, "MHz");
}

struct NumberCase {
  double x;
  const char* text;
};
class CommandNumber : public ::testing::TestWithParam<NumberCase> {};
TEST_P(CommandNumber, IntegersInFullOtherwiseSignificantDigits) { EXPECT_EQ(Num2Str(GetParam().x), GetParam().text); }
INSTANTIATE_TEST_SUITE_P(Numbers, CommandNumber,
                         ::testing::Values(NumberCase{2412000000, "2412000000"}, NumberCase{1e12, "1000000000000"},
                                           NumberCase{-30, "-30"}, NumberCase{0, "0"},
                                           NumberCase{85.5, "85.5"},                // ceil(log10 85.5) + 4 = 6 digits
                                           NumberCase{2.1e6 + 0.25, "2100000.25"},  // 7 + 4 = 11 digits
                                           NumberCase{1234567.891, "1234567.891"},  // 11 digits
                                           NumberCase{123456789.123456, "123456789.123"},  // capped at 12
                                           NumberCase{0.001234, "0.0012"},                 // -2 + 4 = 2 digits
                                           NumberCase{0.5, "0.5"}));

TEST(AdvancedSettings, WorkingCopyReplacesOnlyOnOk) {
  SigGenSettings target;
  target.Title = "KEEP";
  target.Amplitude = -30;
  AdvancedSettingsEdit edit(target);
  edit.newSettings.Amplitude = -10;
  edit.cancel();
  EXPECT_EQ(target.Amplitude, -30);  // cancel discards
  AdvancedSettingsEdit edit2(target);
  edit2.newSettings.Amplitude = -10;
  edit2.ok(target);
  EXPECT_EQ(target.Amplitude, -10);
  EXPECT_EQ(target.Title, "KEEP");
}

TEST(AdvancedSettings, OwnDefaultsWithoutARecord) {
  AdvancedSettingsEdit edit(std::nullopt);
  const SigGenSettings& s = edit.newSettings;
  EXPECT_EQ(s.Title, "NoName");
  EXPECT_EQ(s.Frequency, 1e9);
  EXPECT_EQ(s.Amplitude, -50);
  ASSERT_TRUE(s.SamplingRate.has_value());
  EXPECT_EQ(*s.SamplingRate, 1e6);
  EXPECT_EQ(s.BBfilter, 2);
  EXPECT_EQ(s.Scaling, 95);
  EXPECT_EQ(s.ModAtten, 0);
  EXPECT_EQ(s.ModAttenAuto, 0);
  EXPECT_EQ(s.RFblanking, 1);
  EXPECT_EQ(s.ALC, 1);
  EXPECT_EQ(s.ArbRefSource, 0);
  EXPECT_EQ(s.MarkerPolarity, 0);
}

TEST(WholeRecordEntry, OutOfRangeValuesAreRuledAndEachChangeIsNoted) {
  SigGenSettings previous = advanced_defaults();
  SigGenSettings s = previous;
  s.Frequency = -5;
  s.Amplitude = 1e9;
  s.SamplingRate = 0.25;
  s.Scaling = std::nan("");
  s.ModAtten = 12.4;
  const std::vector<std::string> notes = apply_entry_rules(s, previous);
  EXPECT_EQ(s.Frequency, 100e3);
  EXPECT_EQ(s.Amplitude, 30);
  EXPECT_EQ(s.SamplingRate, 1);
  EXPECT_EQ(s.Scaling, previous.Scaling);  // not a number: the previous value stays
  EXPECT_EQ(s.ModAtten, 12);
  EXPECT_EQ(notes, (std::vector<std::string>{
                       "Frequency -5 Hz is outside 100 kHz to 1e12 Hz: 100000 Hz is used",
                       "Amplitude 1000000000 dBm is outside -136 to 30 dBm in whole dB: 30 dBm is used",
                       "SamplingRate 0.25 Hz is outside 1 Hz to 100 MHz: 1 Hz is used",
                       "Scaling is not a number: 95 % is used",
                       "ModAtten 12.4 dB is outside 0 to 40 dB in whole dB: 12 dB is used",
                   }));
  // Values within the rules pass unchanged and unnoted.
  EXPECT_TRUE(apply_entry_rules(s, previous).empty());
}

TEST(WholeRecordEntry, AStoredSamplingRateAboveTheEntryRangeIsKept) {
  SigGenSettings s = advanced_defaults();
  s.SamplingRate = 160e6;  // OFDM at 8 times oversampling
  EXPECT_TRUE(apply_entry_rules(s, s, false).empty());
  EXPECT_EQ(s.SamplingRate, 160e6);
  s.SamplingRate = -1;
  EXPECT_EQ(apply_entry_rules(s, s, false).size(), 1u);
  EXPECT_EQ(s.SamplingRate, 1);
}
