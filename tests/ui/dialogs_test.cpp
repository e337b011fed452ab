// The dialogs through the model: the modal protocol (working copy, OK
// stores, Cancel and close do not, the dialog is hidden and reused), the MAC
// header rows, the subcarrier grid, presets, plot and OK check, and the
// fading, clock-switching, advanced settings dialogs and the settings panel.
#include <gtest/gtest.h>

#include "runtime/registry.h"
#include "tests/ui/model_fixture.h"
#include "ui/advanced_settings_dialog.h"
#include "ui/clock_switch_dialog.h"
#include "ui/fading_dialog.h"
#include "ui/impairments_dialog.h"
#include "ui/mac_header_dialog.h"
#include "ui/main_window.h"
#include "ui/subcarrier_dialog.h"

namespace tarvio::ui::testing {
namespace {

using DialogTest = ModelTest;

TEST_F(DialogTest, MacHeaderOversizedAddressStoresAllOnes) {
  w().click("pbMACheaderSetup");
  MacHeaderDialog& d = app->mac_header();
  ASSERT_TRUE(d.is_open());
  EXPECT_TRUE(d.visible());
  d.enter("txtAddress1", "123456789ABCDEF");
  EXPECT_EQ(d.at("txtAddress1").text, "FFFFFFFFFFFF");
  d.enter("txtFrameCntrl", "0801");
  d.enter("txtDurationID", "not hex");
  EXPECT_EQ(d.at("txtDurationID").text, "0000");
  d.check("chkAddress4", 0);
  EXPECT_FALSE(d.at("txtAddress4").enabled);
  d.click("pbOK");
  EXPECT_FALSE(d.visible());
  const MacHeader& h = p().MACheader.Contents;
  EXPECT_EQ(h.Address1.Contents, 281474976710655.0);  // 2^48 - 1
  EXPECT_EQ(h.FrameCntrl.Contents, 0x0801);
  EXPECT_EQ(p().MACheader.Length, 24);
  EXPECT_EQ(h.BitStream.size(), 192u);
  // FrameCntrl 0801 sends octet 08h, then 01h, each least significant bit first.
  const std::vector<double> first16(h.BitStream.begin(), h.BitStream.begin() + 16);
  EXPECT_EQ(first16, (std::vector<double>{0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(p().totalLength, 1024 + 24 + 4);
}

TEST_F(DialogTest, MacHeaderCancelKeepsTheHeaderAndTheDialogIsReused) {
  MacHeaderDialog* first = &app->mac_header();
  w().click("pbMACheaderSetup");
  first->enter("txtSeqCntrl", "12");
  first->click("pbCancel");
  EXPECT_EQ(p().MACheader.Contents.SeqCntrl.Contents, 0);
  w().click("pbMACheaderSetup");
  EXPECT_EQ(&app->mac_header(), first);
  EXPECT_EQ(first->at("txtSeqCntrl").text, "0000");  // redrawn from the header handed in
  first->request_close();
  EXPECT_EQ(first->answer(), "Cancel");
  EXPECT_EQ(first->at("txtAddress2").tooltip, "Address 2 Field.\nLength: 6 bytes\nHexadecimal representation.");
  EXPECT_EQ(first->at("chkDurationID").tooltip, "Duration/ID Field.\nAlways active.");
  EXPECT_EQ(first->at("chkSeqCntrl").tooltip, "Includes/excludes the\nSequence Control Field.");
}

class SubcarrierTest : public ModelTest {
 protected:
  SubcarrierDialog& d() { return app->subcarriers(); }
  void open() {
    w().choose("pdDataRate", 4);
    w().click("pbSubCarriers");
    ASSERT_TRUE(d().is_open());
  }
};

TEST_F(SubcarrierTest, CloseControlAnswersCancelAndKeepsTheMask) {
  open();
  d().check("checkbox1", 0);
  d().request_close();
  EXPECT_EQ(d().answer(), "Cancel");
  EXPECT_FALSE(d().visible());
  EXPECT_EQ(p().SubCarriers[0], 1);
}

TEST_F(SubcarrierTest, AllOffIsRefusedAndTheDialogStaysOpen) {
  open();
  d().choose("pdFastEditCarriers", 8);
  d().click("pbOK");
  ASSERT_EQ(rep->messages.size(), 1u);
  EXPECT_EQ(rep->messages[0].title, "Invalid configuration");
  EXPECT_EQ(rep->messages[0].text, "At least one carrier must be active to produce a signal.");
  EXPECT_TRUE(d().is_open());
  d().choose("pdFastEditCarriers", 7);
  d().click("pbOK");
  EXPECT_FALSE(d().is_open());
  std::vector<double> expected(53, 0.0);
  expected[0] = expected[52] = 1;
  EXPECT_EQ(p().SubCarriers, expected);
}

TEST_F(SubcarrierTest, ScrollWindowShowsTenSubcarriersAndDisablesTheCentre) {
  open();
  EXPECT_EQ(d().at("checkbox1").text, "Subcarrier -26");
  d().slide("scrollbar", 43 - 20);  // first position 21: subcarriers -6 .. 3
  EXPECT_EQ(d().at("checkbox1").text, "Subcarrier -6");
  EXPECT_EQ(d().at("checkbox7").text, "Subcarrier 0");
  EXPECT_FALSE(d().at("checkbox7").enabled);
  EXPECT_EQ(d().at("checkbox7").value, 0);
  d().check("checkbox8", 0);  // subcarrier 1
  const PlotState& plot = d().at("axCarriers").plot;
  ASSERT_EQ(plot.x.size(), 64u);
  EXPECT_EQ(plot.x.front(), -32);
  EXPECT_EQ(plot.x.back(), 31);
  EXPECT_EQ(plot.y[32 + 1], 0);  // subcarrier 1 now off
  EXPECT_EQ(plot.y[32 + 2], 1);
  EXPECT_EQ(plot.y[0], 0);
  EXPECT_EQ(plot.title, "Subcarrier Plot");
  EXPECT_EQ(plot.ymax, 2);
}

TEST_F(SubcarrierTest, CommandFormReachesTheDialog) {
  open();
  Registry::instance().call("Dot11a_GUI_SubCarrierMask", {Value("checkbox_Callback"), Value("checkbox2"), Value(0.0)},
                            0);
  EXPECT_EQ(d().at("checkbox2").value, 0);
  Registry::instance().call("Dot11a_GUI_SubCarrierMask", {Value("close_Callback")}, 0);
  EXPECT_FALSE(d().is_open());
  EXPECT_EQ(d().answer(), "Cancel");
  EXPECT_EQ(p().SubCarriers[1], 1);
}

TEST(SubcarrierPresets, CountsAndPlaces) {
  struct Row {
    int entry;
    int on;
    int first_on;  // 1-based position of the first subcarrier on (0: none)
  };
  for (const Row& r : {Row{1, 52, 1}, Row{2, 26, 2}, Row{3, 14, 2}, Row{4, 26, 1}, Row{5, 26, 28}, Row{6, 26, 1},
                       Row{7, 2, 1}, Row{8, 0, 0}}) {
    const std::vector<double> s = SubcarrierDialog::preset(r.entry);
    EXPECT_EQ(std::count(s.begin(), s.end(), 1.0), r.on) << r.entry;
    EXPECT_EQ(s[26], 0) << r.entry;
    const auto it = std::find(s.begin(), s.end(), 1.0);
    EXPECT_EQ(it == s.end() ? 0 : int(it - s.begin()) + 1, r.first_on) << r.entry;
  }
}

TEST_F(DialogTest, FadingEntriesAreClampedAndShownInTheirFormats) {
  w().click("pushbuttonphadingsetup");
  FadingDialog& d = app->fading();
  d.enter("txtDelay1", "12");
  d.enter("txtAtten1", "-70");
  d.enter("txtPhase1", "x");
  d.check("chkState1", 1);
  EXPECT_EQ(d.at("txtDelay1").text, "10.0000");
  EXPECT_EQ(d.at("txtAtten1").text, "-60.00");
  EXPECT_EQ(d.at("txtPhase1").text, "0.00");
  EXPECT_EQ(p().Fading.delay[0], 0);  // not before OK
  d.click("pbOK");
  EXPECT_EQ(p().Fading.delay[0], 10);
  EXPECT_EQ(p().Fading.atten[0], -60);
  EXPECT_EQ(p().Fading.state[0], 1);
}

TEST_F(DialogTest, ClockSwitchEntriesAreClampedToTheirWidths) {
  w().choose("pdDataRate", 11);
  w().click("pbClkStructSetup");
  ClockSwitchDialog& d = app->clock_switch();
  EXPECT_EQ(d.at("txtReSync").text, "11D");
  EXPECT_EQ(d.at("txtTail").tooltip, "Hexadecimal entry for 3 Tail bit values.\nDefualt is 7, \"111\".");
  d.enter("txtTail", "F");
  d.enter("txtHead", "zz");
  d.enter("txtReSync", "FFF");
  EXPECT_EQ(d.at("txtTail").text, "7");
  EXPECT_EQ(d.at("txtHead").text, "0");
  EXPECT_EQ(d.at("txtReSync").text, "1FF");
  d.click("pbCancel");
  EXPECT_EQ(p().clkStruct, 28957);
  w().click("pbClkStructSetup");
  d.enter("txtHead", "5");
  d.click("pbOK");
  EXPECT_EQ(p().clkStruct, (7 << 12) + (5 << 9) + 0x11D);
}

TEST_F(DialogTest, AdvancedSettingsReplaceTheRecordOnlyOnOk) {
  w().click("pbAdvanced");
  AdvancedSettingsDialog& d = app->advanced();
  EXPECT_EQ(d.at("txtSamplingRate").text, "44");
  EXPECT_EQ(d.at("pdSamplingRateUnit").value, 3);
  d.enter("txtScaling", "150");
  d.check("chkModAttenAuto", 1);
  EXPECT_FALSE(d.at("txtModAtten").enabled);
  d.choose("pdMarkerPolarity", 2);
  d.click("pbCancel");
  EXPECT_EQ(sg().Scaling, 85);
  w().click("pbAdvanced");
  d.enter("txtScaling", "150");
  d.enter("txtSamplingRate", "0");
  d.click("pbOK");
  EXPECT_EQ(sg().Scaling, 100);
  EXPECT_EQ(*sg().SamplingRate, 1);
  EXPECT_EQ(d.at("pbOK").tooltip, "Apply all changes.");
}

TEST_F(DialogTest, SettingsPanelFollowsTheEntryRules) {
  w().enter("txtFrequency", "5.2");
  EXPECT_EQ(sg().Frequency, 5.2e9);
  w().choose("pdFrequencyUnit", 3);  // the number shown, read in MHz
  EXPECT_EQ(sg().Frequency, 5.2e6);
  EXPECT_EQ(w().at("txtFrequency").text, "5.2");
  w().enter("txtFrequency", "junk");
  EXPECT_EQ(sg().Frequency, 5.2e6);
  w().enter("txtAmplitude", "99");
  EXPECT_EQ(sg().Amplitude, 30);
  w().enter("txtTitle", "my wave!");
  EXPECT_EQ(w().at("txtTitle").text, "MYWAVE");
}

// A host that answers a modal dialog with queued actions.
class ScriptedWaiter : public DialogWaiter {
 public:
  std::function<void(Dialog&)> script;
  void wait(Dialog& d) override {
    if (script) script(d);
  }
};

TEST_F(DialogTest, ModalFormWaitsThroughTheHost) {
  // Without a waiter the dialog cannot be answered: Cancel.
  std::vector<Value> r = Registry::instance().call("Dot11_MACconfig", {Value("figMain"), Value()}, 2);
  EXPECT_EQ(r[0].str(), "Cancel");
  EXPECT_FALSE(app->mac_header().visible());
  app.reset();
  auto waiter = std::make_shared<ScriptedWaiter>();
  waiter->script = [](Dialog& d) {
    if (d.tag() != "figMACconfig") return;
    d.enter("txtAddress3", "ABC");
    d.click("pbOK");
  };
  Host host;
  host.waiter = waiter;
  app = std::make_unique<Application>(host, rep);
  app->start_window();
  r = Registry::instance().call("Dot11_MACconfig", {Value("figMain")}, 2);
  EXPECT_EQ(r[0].str(), "OK");
  EXPECT_EQ(r[1].record().at("Address3").record().at("Contents").to_double(), 0xABC);
  r = Registry::instance().call("Clkswitch_gui", {Value(28957.0)}, 2);
  EXPECT_EQ(r[0].str(), "Cancel");  // the script leaves this one unanswered
  EXPECT_EQ(r[1].to_double(), 28957);
  EXPECT_FALSE(app->clock_switch().is_open());
}

// The impairments dialog from the Configuration menu: its entry rules come
// from the record's field list (clamping, Inf = off, a non-number keeps the
// value, whole seeds), OK stores and marks the waveform stale, the status
// note follows, All Off and Cancel.
TEST_F(DialogTest, ImpairmentEntriesFollowTheirFieldsAndOkMarksTheWaveformStale) {
  ASSERT_TRUE(app->calculate(true));
  ASSERT_TRUE(state().appInfo.LastCaluclatedParameterSet.has_value());
  w().select_menu("menuConfigImpairments");
  ImpairmentsDialog& d = app->impairments();
  ASSERT_TRUE(d.is_open());
  struct Case {
    const char* tag;
    const char* text;
    const char* shown;
  };
  for (const Case c :
       {Case{"txtSNR", "300", "200"}, Case{"txtSNR", "abc", "200"}, Case{"txtSNR", "inf", "Inf"},
        Case{"txtSNR", "18.5", "18.5"}, Case{"txtPASaturation", "-30", "-20"}, Case{"txtDCOffsetI", "-Inf", "-Inf"},
        Case{"txtDCOffsetQ", "-35", "-35"}, Case{"txtNoiseBandwidth", "-4", "220000"}, Case{"txtSeed", "12.5", "13"},
        Case{"txtIQPhase", "90", "45"}, Case{"txtCFO", "50e6", "21999999"}}) {
    d.enter(c.tag, c.text);
    EXPECT_EQ(d.at(c.tag).text, c.shown) << c.tag << " = " << c.text;
  }
  d.enter("txtPhaseNoise", "1e3 -80, 1e5 -100");
  EXPECT_EQ(d.at("txtPhaseNoise").text, "1000 -80  100000 -100");
  d.enter("txtPhaseNoise", "1e5 -80 1e3 -100");  // out of order: kept
  EXPECT_EQ(d.at("txtPhaseNoise").text, "1000 -80  100000 -100");
  EXPECT_NE(d.at("txtPhaseNoiseRms").text.find("deg rms"), std::string::npos);
  EXPECT_NE(d.at("txtSNR").tooltip.find("Valid Range: -20 to 200, or Inf = no noise"), std::string::npos);
  EXPECT_FALSE(any_impairment(state().impairments));  // not before OK
  d.click("pbOK");
  EXPECT_EQ(state().impairments.SNR, 18.5);
  EXPECT_EQ(state().impairments.Seed, 13);
  EXPECT_EQ(state().impairments.DCOffset, (std::vector<double>{-FieldRule::kInf, -35}));
  EXPECT_FALSE(state().appInfo.LastCaluclatedParameterSet.has_value());
  EXPECT_EQ(w().at("txtImpairments").text, "Impairments on: SNR 18.5 dB, CFO, IQ, DC, phase noise, PA");
  // All Off, then Cancel: nothing changes; All Off, then OK: all off, seed kept.
  w().select_menu("menuConfigImpairments");
  d.click("pbAllOff");
  d.click("pbCancel");
  EXPECT_EQ(state().impairments.SNR, 18.5);
  w().select_menu("menuConfigImpairments");
  d.click("pbAllOff");
  d.click("pbOK");
  EXPECT_FALSE(any_impairment(state().impairments));
  EXPECT_EQ(state().impairments.Seed, 13);
  EXPECT_EQ(w().at("txtImpairments").text, "");
}

}  // namespace
}  // namespace tarvio::ui::testing
