// The main window through the model as a user drives it: entry rules that
// clamp and write back, the rate and modulation lists, the format families'
// controls, the payload lengths and the oversampling entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "control/param_set_ops.h"
#include "runtime/number_text.h"
#include "tests/ui/model_fixture.h"
#include "ui/frame.h"
#include "ui/main_window_table.h"

namespace tarvio::ui::testing {
namespace {

class MainWindowTest : public ModelTest {
 protected:
  // Chooses a data rate by its entry in the data-rate list.
  void rate(int entry) { w().choose("pdDataRate", entry); }
  std::string text(const std::string& tag) { return w().at(tag).text; }
  double value(const std::string& tag) { return w().at(tag).value; }
};

TEST_F(MainWindowTest, ControlTableGivesTheListsTheirCountsAndOrder) {
  const auto& t = w().table();
  auto entries = [&](const std::string& tag) { return w().spec(tag).entries; };
  ASSERT_EQ(entries("pdDataRate").size(), 15u);
  for (int k = 1; k <= 14; ++k)
    EXPECT_EQ(entries("pdDataRate")[k - 1], Num2Str(data_rate_entry(k).dataRate) + " Mbps") << k;
  EXPECT_EQ(entries("pdPowerRamp").size(), 3u);
  EXPECT_EQ(entries("pdFilterType").size(), 5u);
  EXPECT_EQ(entries("pdDATAsourceType").size(), 7u);
  EXPECT_EQ(entries("pdEncoder"), (std::vector<std::string>{"1", "1/2", "2/3", "3/4"}));
  // Every tag of the window description is in the table once.
  for (const char* tag : {"rbGenFrm",
                          "rbGenUnFrm",
                          "pdModulation",
                          "pdPreambleFormat",
                          "chkClkLocked",
                          "pdScrambler",
                          "chkEncoderActive",
                          "pdChannels",
                          "txtRampTime",
                          "txtIdleInterval",
                          "txtOversampleRate",
                          "pdSampleRate_pbcc33",
                          "lblFilterFactor",
                          "lblFilterTaps",
                          "txtFilterFactor",
                          "txtFilterTaps",
                          "chkMirrorSpectrum",
                          "chkMACheader",
                          "chkMACfcs",
                          "pbMACheaderSetup",
                          "txtDataLength",
                          "txtTotalLength",
                          "txtScramblerInit",
                          "chkInterleaverActive",
                          "pbSubCarriers",
                          "txtWindowLength",
                          "txtServiceField",
                          "txtNumberOfPackets",
                          "chkSeqControl",
                          "txtSeqNumFreq",
                          "chkFragNum",
                          "radiobuttonPhading",
                          "pushbuttonphadingsetup",
                          "pbClkStructSetup",
                          "txtStatusBar",
                          "txtNumberOfSamples",
                          "text19",
                          "text20",
                          "text59",
                          "text60",
                          "text61",
                          "text72",
                          "text73",
                          "text74",
                          "text75"})
    EXPECT_EQ(std::count_if(t.begin(), t.end(), [&](const ControlSpec& s) { return s.tag == tag; }), 1) << tag;
}

TEST_F(MainWindowTest, WindowStartDrawsTheDefaults) {
  EXPECT_TRUE(w().visible());
  EXPECT_EQ(value("pdDataRate"), 6);  // 11 Mbit/s
  EXPECT_EQ(w().at("pdModulation").entries, (std::vector<std::string>{"CCK", "PBCC"}));
  EXPECT_EQ(text("txtTotalLength"), "1058");
  EXPECT_EQ(text("txtNumberOfSamples"), Num2Str(p().ProjectedLength) + " Samples");
  EXPECT_EQ(w().at("pdChannels").entries.front(), "1 - 2412 MHz");
  EXPECT_EQ(w().at("pdChannels").entries.back(), "14 - 2484 MHz");
  EXPECT_EQ(*sg().SamplingRate, 44000000);
  EXPECT_EQ(w().name(), std::string(Frame::kCaption) + state().appInfo.Name);
  EXPECT_EQ(w().at("pdDataRate").tooltip, "Selects the data rate.");
  EXPECT_EQ(w().at("txtOversampleRate").tooltip, "Selects the oversample ratio.\nValid Ranges: 2 to 9");
}

// One entry and what the record and the field hold afterwards.
struct EntryCase {
  const char* name;
  int rate;  // data-rate entry chosen first (0: the default 11 Mbit/s)
  const char* tag;
  const char* typed;
  double Parameters::*field;
  double stored;
  const char* shown;
};
void PrintTo(const EntryCase& c, std::ostream* os) { *os << c.name; }

class EntryRules : public MainWindowTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(EntryRules, StoresTheClampedValueAndShowsIt) {
  const EntryCase& c = GetParam();
  if (c.rate) rate(c.rate);
  w().enter(c.tag, c.typed);
  EXPECT_EQ(p().*c.field, c.stored);
  EXPECT_EQ(text(c.tag), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, EntryRules,
    ::testing::Values(
        EntryCase{"ScramblerHex20", 14, "txtScramblerInit", "20", &Parameters::scramblerInit, 32, "20"},
        EntryCase{"ScramblerHexFF", 14, "txtScramblerInit", "FF", &Parameters::scramblerInit, 127, "7F"},
        EntryCase{"ScramblerNotHex", 14, "txtScramblerInit", "xyz", &Parameters::scramblerInit, 93, "5D"},
        EntryCase{"PacketsZero", 0, "txtNumberOfPackets", "0", &Parameters::numberOfPackets, 1, "1"},
        EntryCase{"PacketsMany", 0, "txtNumberOfPackets", "5000", &Parameters::numberOfPackets, 2000, "2000"},
        EntryCase{"PacketsWhole", 0, "txtNumberOfPackets", "2.5", &Parameters::numberOfPackets, 3, "3"},
        EntryCase{"PacketsNotNumber", 0, "txtNumberOfPackets", "many", &Parameters::numberOfPackets, 1, "1"},
        EntryCase{"TapsHigh", 0, "txtFilterTaps", "1e6", &Parameters::FilterTaps, 1000, "1000"},
        EntryCase{"WindowLength", 14, "txtWindowLength", "16.6", &Parameters::WindowingLength, 16, "16"},
        EntryCase{"ServiceField", 14, "txtServiceField", "1FFFF", &Parameters::serviceField, 65535, "FFFF"},
        EntryCase{"SeqFreqLow", 0, "txtSeqNumFreq", "0", &Parameters::seqCtrlFreq, 1, "1"},
        EntryCase{"SeqFreqHigh", 0, "txtSeqNumFreq", "1F", &Parameters::seqCtrlFreq, 15, "F"},
        EntryCase{"DataLengthMax", 0, "txtDataLength", "9999", &Parameters::dataLength, 2312, "2312"},
        EntryCase{"DataLengthRound", 0, "txtDataLength", "99.5", &Parameters::dataLength, 100, "100"},
        EntryCase{"RampTimeMax", 0, "txtRampTime", "5000", &Parameters::rampLength, 44000, "1000"},
        EntryCase{"RampTimeNotNumber", 0, "txtRampTime", "", &Parameters::rampLength, 88, "2"},
        EntryCase{"IdleDsss", 0, "txtIdleInterval", "10", &Parameters::idleSamples, 440, "10"},
        EntryCase{"IdleNotNumber", 0, "txtIdleInterval", "x", &Parameters::idleSamples, 4400, "100"},
        EntryCase{"IdleOfdm", 4, "txtIdleInterval", "10", &Parameters::idleSamples, 400, "10"}));

TEST_F(MainWindowTest, FilterFactorLowerLimitFollowsTheFilterType) {
  w().choose("pdFilterType", 3);  // root cosine, FilterType 2
  w().enter("txtFilterFactor", "0.01");
  EXPECT_EQ(p().FilterFactor, 0.05);
  EXPECT_EQ(text("txtFilterFactor"), "0.05");
  w().choose("pdFilterType", 2);  // Gaussian, FilterType 1
  w().enter("txtFilterFactor", "0.01");
  EXPECT_EQ(p().FilterFactor, 0.1);
  w().enter("txtFilterFactor", "7");
  EXPECT_EQ(p().FilterFactor, 1);
}

TEST_F(MainWindowTest, FilterTypeDecidesTheFilterControls) {
  struct Row {
    int entry;
    const char* label;
    bool factor, taps, taps_enabled;
  };
  for (const Row& r : {Row{1, "", false, false, true}, Row{2, "bT:  ", true, true, true},
                       Row{3, "a:  ", true, true, true}, Row{4, "", false, true, true}}) {
    w().choose("pdFilterType", r.entry);
    EXPECT_EQ(p().FilterType, r.entry - 1);
    EXPECT_EQ(text("lblFilterFactor"), r.label) << r.entry;
    EXPECT_EQ(w().at("txtFilterFactor").visible, r.factor) << r.entry;
    EXPECT_EQ(w().at("txtFilterTaps").visible, r.taps) << r.entry;
    EXPECT_EQ(w().at("lblFilterTaps").visible, r.taps) << r.entry;
    EXPECT_EQ(w().at("txtFilterTaps").enabled, r.taps_enabled) << r.entry;
  }
}

TEST_F(MainWindowTest, UserFilterFileCancelledKeepsThePreviousFilter) {
  w().choose("pdFilterType", 5);  // no file chosen
  EXPECT_EQ(p().FilterType, 1);
  EXPECT_EQ(value("pdFilterType"), 2);
  {
    std::ofstream f("taps.txt");
    for (int k = 0; k < 8; ++k) f << (k == 3 ? 1 : 0) << "\n";
  }
  files->names.push_back("taps.txt");
  w().choose("pdFilterType", 5);
  EXPECT_EQ(p().FilterType, 4);
  EXPECT_EQ(p().FilterTaps, 2);  // 8 numbers at 4 samples per symbol
  EXPECT_EQ(p().filterCoeffs.size(), 8u);
  EXPECT_FALSE(w().at("txtFilterTaps").enabled);
}

TEST_F(MainWindowTest, ChannelSetsTheCarrier) {
  w().choose("pdChannels", 14);
  EXPECT_EQ(sg().Frequency, 2484000000);
  EXPECT_EQ(text("txtFrequency"), "2.484");
  w().choose("pdChannels", 6);
  EXPECT_EQ(sg().Frequency, 2437000000);
  EXPECT_EQ(p().Channel, 6);
}

TEST_F(MainWindowTest, OfdmModulationAndCodeRateWithoutARateShowTheInvalidEntry) {
  rate(14);  // 54 Mbit/s: QAM64, 3/4
  EXPECT_EQ(value("pdEncoder"), 4);
  w().choose("pdEncoder", 2);  // 1/2 with QAM64 is no rate
  EXPECT_EQ(value("pdDataRate"), kInvalidRateEntry);
  EXPECT_EQ(p().dataRate, 0);
  // The window is not stuck there: the code rate 2/3 gives 48 Mbit/s.
  w().choose("pdEncoder", 3);
  EXPECT_EQ(p().dataRate, 48);
  EXPECT_EQ(value("pdDataRate"), 13);
  // Choosing the invalid entry itself changes nothing.
  w().choose("pdDataRate", kInvalidRateEntry);
  EXPECT_EQ(p().dataRate, 48);
  EXPECT_EQ(value("pdDataRate"), 13);
}

TEST_F(MainWindowTest, ModulationListFollowsTheRate) {
  struct Row {
    int entry;
    std::vector<std::string> list;
    bool enabled;
  };
  for (const Row& r : {Row{1, {"DBPSK"}, false}, Row{2, {"DQPSK"}, false}, Row{3, {"CCK", "PBCC"}, true},
                       Row{9, {"PBCC"}, true}, Row{7, {"BPSK", "QPSK", "QAM16", "QAM64"}, true}}) {
    rate(r.entry);
    EXPECT_EQ(w().at("pdModulation").entries, r.list) << r.entry;
    EXPECT_EQ(w().at("pdModulation").enabled, r.enabled) << r.entry;
  }
  EXPECT_EQ(value("pdModulation"), 2);  // 12 Mbit/s is QPSK
  rate(6);
  w().choose("pdModulation", 2);  // PBCC at 11 Mbit/s
  EXPECT_EQ(p().highRateMod, 1);
  EXPECT_TRUE(w().at("chkEncoderActive").enabled);
}

TEST_F(MainWindowTest, FormatFamiliesShowTheirOwnControls) {
  rate(4);  // OFDM
  for (const std::string& t : MainWindow::ofdm_controls()) EXPECT_TRUE(w().at(t).visible) << t;
  for (const std::string& t : MainWindow::not_ofdm_controls()) EXPECT_FALSE(w().at(t).visible) << t;
  EXPECT_EQ(w().at("pdPreambleFormat").entries, (std::vector<std::string>{"", "", "OFDM"}));
  EXPECT_FALSE(w().at("pdPreambleFormat").enabled);
  EXPECT_EQ(w().at("pdScrambler").entries.size(), 2u);
  EXPECT_EQ(w().at("txtOversampleRate").tooltip, "Selects the oversample ratio.\nValid Ranges: 2 to 5");
  rate(3);  // back to DSSS
  for (const std::string& t : MainWindow::dsss_controls()) EXPECT_TRUE(w().at(t).visible) << t;
  for (const std::string& t : MainWindow::ofdm_controls()) EXPECT_FALSE(w().at(t).visible) << t;
  EXPECT_EQ(w().at("pdScrambler").entries, (std::vector<std::string>{"Off", "On", "Preamble Only"}));
  EXPECT_EQ(p().preambleType, 0);
}

TEST_F(MainWindowTest, ThirtyThreeMbpsTakesItsSampleRateFromItsList) {
  rate(11);
  EXPECT_TRUE(w().at("pdSampleRate_pbcc33").visible);
  EXPECT_FALSE(w().at("txtOversampleRate").visible);
  EXPECT_EQ(text("text19"), "Sample Rate:");
  EXPECT_TRUE(w().at("pbClkStructSetup").enabled);
  EXPECT_EQ(p().OverSampling, 3);
  w().choose("pdSampleRate_pbcc33", 2);
  EXPECT_EQ(p().OverSampling, 6);
  rate(9);  // 22 Mbit/s
  EXPECT_FALSE(w().at("pbClkStructSetup").enabled);
  EXPECT_EQ(text("text19"), "Oversampling Ratio:");
}

TEST_F(MainWindowTest, UnframedElevenMbpsTotalLengthIsTheDataLength) {
  w().check("rbGenUnFrm", 1);
  EXPECT_EQ(p().generationMode, 0);
  EXPECT_EQ(value("rbGenFrm"), 0);
  EXPECT_EQ(p().totalLength, p().dataLength);
  EXPECT_EQ(text("txtTotalLength"), text("txtDataLength"));
  for (const char* t : {"chkClkLocked", "pdPowerRamp", "txtRampTime", "txtIdleInterval", "chkMACheader", "chkMACfcs",
                        "pbMACheaderSetup", "txtServiceField", "pdPreambleFormat"})
    EXPECT_FALSE(w().at(t).enabled) << t;
  w().check("rbGenFrm", 1);
  EXPECT_EQ(p().totalLength, 1058);
}

TEST_F(MainWindowTest, RampTimeNeedsARamp) {
  w().choose("pdPowerRamp", 1);  // no ramp
  EXPECT_FALSE(w().at("txtRampTime").enabled);
  w().choose("pdPowerRamp", 3);
  EXPECT_TRUE(w().at("txtRampTime").enabled);
}

TEST_F(MainWindowTest, OversamplingEntryIsRoundedAndHeldWithinTheFamilyRange) {
  w().enter("txtOversampleRate", "12");
  EXPECT_EQ(p().OverSampling, 9);
  EXPECT_EQ(text("txtOversampleRate"), "9");
  w().enter("txtOversampleRate", "1");
  EXPECT_EQ(p().OverSampling, 2);
  EXPECT_EQ(*sg().SamplingRate, 22000000);
  w().enter("txtOversampleRate", "two");
  EXPECT_EQ(p().OverSampling, 2);
  EXPECT_EQ(text("txtOversampleRate"), "2");
  rate(4);
  w().enter("txtOversampleRate", "7");
  EXPECT_EQ(p().OverSampling, 5);
  EXPECT_EQ(*sg().SamplingRate, 100000000);
}

TEST_F(MainWindowTest, DataRateChangeToOfdmSwapsOversamplingAndScaling) {
  UpdateDataRate(4);  // as the unattended path calls it, with the window model redrawing
  EXPECT_EQ(p().OverSampling, 2);
  EXPECT_EQ(sg().Scaling, 95);
  EXPECT_EQ(*sg().SamplingRate, 40000000);
  EXPECT_EQ(value("pdDataRate"), 4);
  // 22 -> 11 Mbit/s stays within the DSSS family: nothing is swapped.
  rate(9);
  const double os = p().OverSampling, scaling = sg().Scaling;
  rate(6);
  EXPECT_EQ(p().OverSampling, os);
  EXPECT_EQ(sg().Scaling, scaling);
}

TEST_F(MainWindowTest, ShortPreambleSurvivesARedraw) {
  w().choose("pdPreambleFormat", 2);
  EXPECT_EQ(p().preambleType, 1);
  w().choose("pdPowerRamp", 2);  // redraws the format controls
  EXPECT_EQ(p().preambleType, 1);
  EXPECT_EQ(value("pdPreambleFormat"), 2);
  rate(1);  // 1 Mbit/s has only the long preamble
  EXPECT_EQ(p().preambleType, 0);
}

TEST_F(MainWindowTest, MacHeaderSwitchesBoundThePayload) {
  rate(4);
  EXPECT_EQ(p().maxDataLen, 4095 - 34);
  w().check("chkMACheader", 0);
  EXPECT_EQ(p().maxDataLen, 4095 - 4);
  EXPECT_FALSE(w().at("pbMACheaderSetup").enabled);
  EXPECT_EQ(p().totalLength, 1028);
}

TEST_F(MainWindowTest, ActionsOnControlsTheUserCannotReachAreRefused) {
  EXPECT_THROW(w().enter("txtScramblerInit", "1"), std::invalid_argument);  // hidden in DSSS
  EXPECT_THROW(w().choose("pdChannels", 15), std::out_of_range);
  EXPECT_THROW(w().click("pdChannels"), std::invalid_argument);
  rate(1);
  EXPECT_THROW(w().choose("pdModulation", 1), std::invalid_argument);  // one modulation only: disabled
}

TEST_F(MainWindowTest, ErrorInsideACallbackIsShownAndTheWindowGoesOn) {
  p().OverSampling = 0;  // the idle-interval conversion refuses it
  w().enter("txtIdleInterval", "5");
  ASSERT_FALSE(rep->messages.empty());
  EXPECT_EQ(rep->messages.back().kind, MessageKind::Error);
  EXPECT_NE(rep->messages.back().text.find("oversampling"), std::string::npos) << rep->messages.back().text;
}

TEST_F(MainWindowTest, ChangesNotifyTheView) {
  std::vector<std::string> changed;
  const int id = w().subscribe([&](const std::string& tag) { changed.push_back(tag); });
  w().enter("txtNumberOfPackets", "3");
  w().unsubscribe(id);
  EXPECT_NE(std::find(changed.begin(), changed.end(), "txtNumberOfSamples"), changed.end());
  changed.clear();
  w().enter("txtNumberOfPackets", "4");
  EXPECT_TRUE(changed.empty());
}

}  // namespace
}  // namespace tarvio::ui::testing
