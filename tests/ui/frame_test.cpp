// The application frame through the model: the stale-waveform guard and its
// questions, the baseband memory option, the menu bar, file commands, the
// I/O dialogs, the displays, help and shut-down.
#include "ui/frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "control/parameter_files.h"
#include "displays/display_host.h"
#include "instrument/sim_process.h"
#include "tests/ui/model_fixture.h"
#include "ui/about.h"
#include "ui/io_dialog.h"
#include "ui/menu_bar.h"

namespace tarvio::ui::testing {
namespace {

namespace fs = std::filesystem;

class FrameTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    // An instrument that is not there answers at once.
    state().configuration.type = "TCPIP";
    state().configuration.TCPIP.address = "127.0.0.1:1";
  }
  void menu(const std::string& tag) { w().select_menu(tag); }
  bool calculated() const { return !state().appInfo.LastCalcTimeStamp.empty(); }
};

TEST_F(FrameTest, DownloadBeforeAnyCalculationAsksToCalculateFirst) {
  rep->answers.push_back("Cancel");
  w().click("pbDownload");
  ASSERT_EQ(rep->questions.size(), 1u);
  const Question& q = rep->questions[0];
  EXPECT_EQ(q.title, "Waveform Not Calculated");
  EXPECT_EQ(q.text,
            "The waveform has not yet been calculated. Do you wish to calculate\nthe waveform and then download ?");
  EXPECT_EQ(q.buttons, (std::vector<std::string>{"Calculate & Download", "Cancel"}));
  EXPECT_EQ(q.def, "Calculate & Download");
  EXPECT_FALSE(calculated());
  EXPECT_TRUE(rep->messages.empty());
  // Closing the box counts as going ahead: calculate, then download.
  rep->answers.push_back("");
  w().click("pbDownload");
  EXPECT_TRUE(calculated());
  EXPECT_TRUE(rep->shown("Error Occured During Waveform Download"));
}

TEST_F(FrameTest, ChangedSettingsAskWhetherToRecalculate) {
  w().click("pbCalculate");
  ASSERT_TRUE(calculated());
  EXPECT_EQ(w().pointer(), "arrow");
  EXPECT_EQ(app->frame().command("checkWaveformReady", {Value("Plot")})[0].to_double(), 1);
  EXPECT_TRUE(rep->questions.empty());
  w().enter("txtNumberOfPackets", "2");
  rep->answers = {"Cancel", "Yes", "", "Recalc & Plot"};
  EXPECT_FALSE(app->frame().checkWaveformReady("Plot"));
  const Question& q = rep->questions.back();
  EXPECT_EQ(q.title, "Waveform Not Recalculated");
  EXPECT_EQ(q.text,
            "Settings have changed since last calculating the waveform.\nPlot will use the last calculated "
            "waveform.\nDo you wish to plot anyway ?");
  EXPECT_EQ(q.buttons, (std::vector<std::string>{"Yes", "Recalc & Plot", "Cancel"}));
  EXPECT_EQ(q.def, "Recalc & Plot");
  EXPECT_TRUE(app->frame().checkWaveformReady("Plot"));  // Yes: the old waveform
  EXPECT_EQ(state().appInfo.LastCaluclatedParameterSet->numberOfPackets, 1);
  EXPECT_TRUE(app->frame().checkWaveformReady("Plot"));  // closed: as Yes
  EXPECT_EQ(state().appInfo.LastCaluclatedParameterSet->numberOfPackets, 1);
  EXPECT_TRUE(app->frame().checkWaveformReady("Plot"));  // recalculated
  EXPECT_EQ(state().appInfo.LastCaluclatedParameterSet->numberOfPackets, 2);
}

TEST_F(FrameTest, CalculationStoppedByACheckDoesNotLetTheActionGoAhead) {
  state().parameters.MACheader.Contents.SeqCntrl.Active = 0;  // numbering without a sequence field
  EXPECT_FALSE(app->frame().checkWaveformReady("Download"));
  EXPECT_TRUE(rep->shown("Parameter Conflict Warning!"));
  EXPECT_FALSE(calculated());
}

TEST_F(FrameTest, CalculationWritesProgressIntoTheStatusLine) {
  std::vector<std::string> lines;
  w().subscribe([&](const std::string& tag) {
    if (tag == "txtStatusBar") lines.push_back(w().at("txtStatusBar").text);
  });
  w().click("pbCalculate");
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front(), "Creating frame 1 ...");
  EXPECT_EQ(lines.back(), "");
}

// Records the frame's instrument work as a host that moves it to another
// thread sees it: while it runs, the window shows the busy pointer.
class WorkRecordingApplication : public Application {
 public:
  using Application::Application;
  void run_work(const std::function<void()>& work) override {
    pointers.push_back(main().pointer());
    Application::run_work(work);
  }
  std::vector<std::string> pointers;
};

TEST_F(FrameTest, DownloadAndRefreshRunTheirInstrumentWorkThroughTheHost) {
  app.reset();
  Host host;
  host.files = files;
  auto* recording = new WorkRecordingApplication(host, rep);
  app.reset(recording);
  app->start_window();
  state().configuration.type = "TCPIP";
  state().configuration.TCPIP.address = "127.0.0.1:1";
  w().click("pbCalculate");
  w().click("pbDownload");
  EXPECT_TRUE(rep->shown("Error Occured During Waveform Download"));  // the work ran
  w().click("pbRefresh");
  EXPECT_TRUE(rep->shown("Error Occured During Instrument Setup"));
  EXPECT_EQ(recording->pointers, (std::vector<std::string>{"watch", "watch"}));
  EXPECT_EQ(w().pointer(), "arrow");
}

TEST_F(FrameTest, AnAnswerThatIsNoButtonIsRefused) {
  rep->answers.push_back("Maybe");
  w().click("pbDownload");
  EXPECT_FALSE(calculated());
  ASSERT_EQ(rep->messages.size(), 1u);
  EXPECT_EQ(rep->messages[0].kind, MessageKind::Error);
  EXPECT_EQ(rep->messages[0].text,
            "the answer \"Maybe\" to the question \"Waveform Not Calculated\" is not one of its buttons "
            "(\"Calculate & Download\", \"Cancel\"); an empty answer closes the box");
}

// "Yes" to the stale-waveform question sends the packets that were
// calculated, more or fewer than the settings now ask for.
TEST_F(FrameTest, YesSendsTheCalculatedWaveformWithItsOwnPacketCount) {
  for (int calculated_packets : {1, 2}) {
    const fs::path store = dir / ("store" + std::to_string(calculated_packets));
    tarvio::testing::SimProcess sim({"--port", "0", "--store", store.string()});
    state().configuration.TCPIP.address = sim.address();
    w().enter("txtNumberOfPackets", std::to_string(calculated_packets));
    w().click("pbCalculate");
    const double samples = p().multiFrame.pktSize * calculated_packets;
    w().enter("txtNumberOfPackets", std::to_string(3 - calculated_packets));
    rep->messages.clear();
    rep->answers.push_back("Yes");
    w().click("pbDownload");
    EXPECT_TRUE(rep->shown("Download Completed")) << (rep->messages.empty() ? "" : rep->messages[0].text);
    EXPECT_EQ(fs::file_size(store / (sg().Title + ".wfm")), 4 * samples) << calculated_packets << " calculated";
  }
}

struct MenuRefusal {
  const char* tag;
  const char* why;
};

TEST_F(FrameTest, HiddenAndUnbuiltMenuItemsAreRefused) {
  for (const MenuRefusal& c :
       {MenuRefusal{"menuPlotWaterfall", "menu item menuPlotWaterfall (\"Waterfall\") is hidden"},
        MenuRefusal{"menuPlotEyeDiagram", "is hidden"}, MenuRefusal{"menuPlotScatterDiagram", "is hidden"},
        MenuRefusal{"menuConfigSpecAnIO", "is hidden"},
        MenuRefusal{"menuSpecialSaveWave", "is hidden (in the hidden menu menuSpecial)"},
        MenuRefusal{"menuFileExportRawData", "(\"Export Raw Data...\") is not built: it has no action"},
        MenuRefusal{"menuSpecialImpairments", "(\"Impairments\") is not built: it has no action"}}) {
    try {
      menu(c.tag);
      ADD_FAILURE() << c.tag << " was run";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(c.why), std::string::npos) << e.what();
    }
  }
  EXPECT_TRUE(rep->questions.empty());
  EXPECT_FALSE(app->io().is_open());
  EXPECT_FALSE(calculated());
}

struct MemoryCase {
  const char* item;
  double projected;
  bool asks;
};

TEST_F(FrameTest, MemoryOptionAsksOnlyWhenTheWaveformDoesNotFit) {
  Question asked;
  for (const MemoryCase& c :
       {MemoryCase{"menuConfigBBG1Opt1", 8000000, false}, MemoryCase{"menuConfigBBG1Opt1", 8000001, true},
        MemoryCase{"menuConfigBBG1Opt2", 32000001, true}, MemoryCase{"menuConfigBBG1Opt602", 64000001, false}}) {
    rep->questions.clear();
    state().configuration.BBGtype = "MEM-C";
    state().parameters.ProjectedLength = c.projected;
    rep->answers.push_back("Cancel");
    menu(c.item);
    EXPECT_EQ(rep->questions.size(), c.asks ? 1u : 0u) << c.item << " " << c.projected;
    EXPECT_EQ(state().configuration.BBGtype == "MEM-C", c.asks || std::string(c.item) == "menuConfigBBG1Opt602");
    if (!rep->questions.empty()) asked = rep->questions.back();
    rep->answers.clear();
  }
  const Question& q = asked;
  EXPECT_EQ(q.title, "Waveform too large");
  EXPECT_EQ(q.text,
            "The waveform based on the current settings \nis too large to for Option MEM-B. Changing to\nOption MEM-B "
            "will reset all settings to the defaults.\nDo you wish to change anyway ?");
  EXPECT_EQ(q.buttons, (std::vector<std::string>{"Yes", "Cancel"}));
  EXPECT_EQ(q.def, "Cancel");
}

TEST_F(FrameTest, MemoryOptionYesResetsTheSettingsAndMovesTheCheckMark) {
  w().enter("txtNumberOfPackets", "7");
  state().parameters.ProjectedLength = 9e6;
  rep->answers.push_back("");  // closing the box keeps the settings
  menu("menuConfigBBG1Opt1");
  EXPECT_EQ(state().parameters.numberOfPackets, 7);
  EXPECT_TRUE(w().find_menu("menuConfigBBG1Opt602")->checked);
  state().parameters.ProjectedLength = 9e6;
  rep->answers.push_back("Yes");
  menu("menuConfigBBG1Opt1");
  EXPECT_EQ(state().parameters.numberOfPackets, 1);
  EXPECT_EQ(w().at("txtNumberOfPackets").text, "1");
  EXPECT_EQ(state().configuration.BBGtype, "MEM-A");
  EXPECT_TRUE(w().find_menu("menuConfigBBG1Opt1")->checked);
  EXPECT_FALSE(w().find_menu("menuConfigBBG1Opt602")->checked);
}

TEST_F(FrameTest, MenuBarAsData) {
  const std::vector<MenuItem>& bar = w().menu();
  ASSERT_EQ(bar.size(), 5u);
  EXPECT_EQ(bar[0].label, "&File");
  EXPECT_FALSE(bar[3].visible);  // Special
  const MenuItem* exit = w().find_menu("menuFileExit");
  EXPECT_EQ(exit->label, "E&xit");
  EXPECT_TRUE(exit->separator);
  EXPECT_FALSE(w().find_menu("menuFileExportRawData")->visible);
  EXPECT_FALSE(w().find_menu("menuPlotWaterfall")->visible);
  EXPECT_TRUE(w().find_menu("menuPlotCCDF")->separator);
  EXPECT_TRUE(w().find_menu("menuConfigBBG1")->separator);
  EXPECT_TRUE(w().find_menu("menuConfigBBG1Opt602")->checked);  // the default MEM-C
  EXPECT_EQ(w().at("txtNumberOfSamples").tooltip,
            "The number of samples generated \nby the current settings.\n(The signal generator can hold up to 8, 32 "
            "or 64 M samples.)");
}

TEST_F(FrameTest, OtherPlatformHasNoBasebandSubmenu) {
  state().appInfo.Platform = "b";
  app->initialize_figures();
  EXPECT_EQ(w().find_menu("menuConfigBBG1"), nullptr);
  EXPECT_EQ(w().find_menu("menuConfigBBG1Opt1"), nullptr);
  EXPECT_NE(w().find_menu("menuConfigSigGenIO"), nullptr);
  EXPECT_EQ(w().at("txtNumberOfSamples").tooltip,
            "The number of samples generated \nby the current settings.\n(An KOR can hold up to 1 M samples.)");
}

TEST_F(FrameTest, SaveAsAndOpenNameTheFileInTheTitle) {
  w().enter("txtNumberOfPackets", "5");
  files->names.push_back("set");  // the extension is added
  menu("menuFileSaveAs");
  ASSERT_TRUE(std::filesystem::exists("set.mat"));
  EXPECT_EQ(w().name(), std::string(Frame::kCaption) + state().appInfo.Name + " : set.mat");
  menu("menuFileNew");
  EXPECT_EQ(state().parameters.numberOfPackets, 1);
  EXPECT_EQ(w().name(), std::string(Frame::kCaption) + state().appInfo.Name);
  files->names.push_back("set.mat");
  menu("menuFileOpen");
  EXPECT_EQ(state().parameters.numberOfPackets, 5);
  EXPECT_EQ(w().at("txtNumberOfPackets").text, "5");
  EXPECT_EQ(state().configuration.LastParameterFilename, "set.mat");
  menu("menuFileOpen");  // cancelled: nothing changes
  EXPECT_EQ(state().configuration.LastParameterFilename, "set.mat");
}

TEST_F(FrameTest, ExportAsksBeforeReplacingAFile) {
  { std::ofstream("w.wfm") << "old"; }
  files->names = {"w.wfm"};
  rep->answers.push_back("No");  // then the chooser is cancelled
  menu("menuFileExportData");
  EXPECT_EQ(rep->questions.at(0).title, "Select File to Write");
  EXPECT_EQ(rep->questions.at(0).text, "w.wfm already exists.\nDo you want to replace it?");
  EXPECT_EQ(std::filesystem::file_size("w.wfm"), 3u);
}

TEST_F(FrameTest, SigGenIoDialogReplacesTheConfigurationOnlyOnOk) {
  menu("menuConfigSigGenIO");
  IoDialog& d = app->io();
  ASSERT_TRUE(d.is_open());
  EXPECT_EQ(d.name(), IoDialog::kSigGenName);
  EXPECT_EQ(d.at("pdConnection").entries, (std::vector<std::string>{"GPIB", "TCP/IP", "SDR (SoapySDR)"}));
  EXPECT_TRUE(d.at("txtAddress").visible);
  EXPECT_FALSE(d.at("pdGpibPrimary").visible);
  d.enter("txtAddress", "192.0.2.7");
  d.click("pbCancel");
  EXPECT_EQ(state().configuration.TCPIP.address, "127.0.0.1:1");
  menu("menuConfigSigGenIO");
  d.choose("pdConnection", 1);
  EXPECT_TRUE(d.at("pdGpibPrimary").visible);
  EXPECT_EQ(d.at("pdGpibPrimary").tooltip,
            "Select the primary address of your source.\nThe default factory setting is 19.");
  d.choose("pdGpibPrimary", 6);
  d.click("pbOK");
  EXPECT_EQ(state().configuration.type, "GPIB");
  EXPECT_EQ(state().configuration.GPIB.primary, 5);
  app->frame().command("menuConfigSpecAnIO_Callback", {});  // hidden in the menu bar
  EXPECT_EQ(d.name(), IoDialog::kSpecAnName);
  d.request_close();
  EXPECT_EQ(d.name(), IoDialog::kSigGenName);
  EXPECT_EQ(d.answer(), "Cancel");
}

TEST_F(FrameTest, CheckHardwareShowsTheVerdictInTheDialog) {
  menu("menuConfigSigGenIO");
  IoDialog& d = app->io();
  d.click("pbCheck");
  EXPECT_NE(d.at("txtStatus").text.find("127.0.0.1"), std::string::npos) << d.at("txtStatus").text;
  EXPECT_EQ(d.pointer(), "arrow");
  d.click("pbCancel");
}

TEST_F(FrameTest, SaveWaveWritesTheCalculatedWaveform) {
  files->names.push_back("wave.txt");
  // The Special menu is hidden; its command runs by name. It asks to
  // calculate first; the default goes ahead.
  app->frame().command("menuSpecialSaveWave_Callback", {});
  ASSERT_TRUE(std::filesystem::exists("wave.txt"));
  EXPECT_TRUE(calculated());
}

// Display windows as the desktop installs them, kept as figures.
class FakeDisplays : public tarvio::DisplayHost {
 public:
  double open(Figure f, double) override {
    figures.push_back(std::move(f));
    return double(figures.size());
  }
  Figure* figure(double h) override { return exists(h) ? &figures[size_t(h) - 1] : nullptr; }
  void changed(double) override {}
  double current() const override { return double(figures.size()); }
  void tool(double, FigureTool, ToolMode) override {}
  bool exists(double h) const override {
    return h >= 1 && h <= double(figures.size()) && std::find(closed.begin(), closed.end(), h) == closed.end();
  }
  void close(double h) override { closed.push_back(h); }
  std::vector<Figure> figures;
  std::vector<double> closed;
};

TEST_F(FrameTest, PlotMenuOpensDisplaysAndShutDownClosesThem) {
  menu("menuPlotSpectrum");  // no display windows here: the reason is shown
  ASSERT_FALSE(rep->messages.empty());
  EXPECT_NE(rep->messages.back().text.find("desktop"), std::string::npos) << rep->messages.back().text;
  auto displays = std::make_shared<FakeDisplays>();
  auto previous = set_display_host(displays);
  menu("menuPlotCCDF");
  menu("menuPlotIQTimeSameAxes");
  set_display_host(previous);
  ASSERT_EQ(displays->figures.size(), 2u);
  EXPECT_EQ(displays->figures[0].name.rfind("CCDF " + state().appInfo.Name + " (", 0), 0u) << displays->figures[0].name;
  EXPECT_EQ(state().appInfo.ClientWindows.size(), 2u);
  set_display_host(displays);
  menu("menuFileExit");
  set_display_host(previous);
  EXPECT_EQ(displays->closed, (std::vector<double>{1, 2}));
  EXPECT_TRUE(state().appInfo.ClientWindows.empty());
  EXPECT_TRUE(std::filesystem::exists(kIoConfigFile));
  EXPECT_FALSE(w().visible());
  EXPECT_TRUE(app->closed());
}

// Plot > CCDF of Bursts Only turns burst gating on and off: a toggle with
// its check mark in the model, off at first (the CCDF of every sample).
TEST_F(FrameTest, CcdfGatingIsAMenuToggle) {
  const MenuItem* gated = w().find_menu("menuPlotCCDFGated");
  ASSERT_NE(gated, nullptr);
  EXPECT_TRUE(gated->toggle);
  EXPECT_FALSE(gated->checked);
  auto displays = std::make_shared<FakeDisplays>();
  auto previous = set_display_host(displays);
  menu("menuPlotCCDF");
  menu("menuPlotCCDFGated");
  EXPECT_TRUE(w().find_menu("menuPlotCCDFGated")->checked);
  menu("menuPlotCCDF");
  menu("menuPlotCCDFGated");
  menu("menuPlotCCDF");
  set_display_host(previous);
  EXPECT_FALSE(w().find_menu("menuPlotCCDFGated")->checked);
  ASSERT_EQ(displays->figures.size(), 3u);
  const char* labels[] = {"Measured (%)", "Measured in bursts (%)", "Measured (%)"};
  for (size_t k = 0; k < 3; ++k) EXPECT_EQ(displays->figures[k].axes.at(0).traces.at(0).label, labels[k]) << k;
}

class FailingOpener : public DocumentOpener {
 public:
  bool open(const std::string&) override { return false; }
};

TEST_F(FrameTest, HelpThatCannotBeOpenedSaysWhereTheGuideIs) {
  app.reset();
  Host host;
  host.opener = std::make_shared<FailingOpener>();
  app = std::make_unique<Application>(host, rep);
  app->start_window();
  w().select_menu("menuHelpHelp");
  ASSERT_EQ(rep->messages.size(), 1u);
  EXPECT_EQ(rep->messages[0].title, "Open browser failed");
  EXPECT_EQ(rep->messages[0].text,
            "Unable to automatically open your browser.\n\nYou can view the help file by "
            "manually opening\n\"" +
                Frame::user_guide_path() + "\"\nin the browser of your choice.");
}

TEST_F(FrameTest, AboutShowsTheApplicationTexts) {
  w().select_menu("menuHelpAbout");
  EXPECT_TRUE(app->about().visible());
  EXPECT_EQ(app->about().at("lblLine1").text, state().appInfo.Name);
  EXPECT_EQ(app->about().at("lblLine2").text, "Revision " + state().appInfo.Rev);
  app->about().click("pbOK");
  EXPECT_FALSE(app->about().visible());
}

}  // namespace
}  // namespace tarvio::ui::testing
