// tarvio-cli window from outside: the window's and dialogs' edge cases as a
// script runs them, the JSON lines of controls, messages and questions, the
// record dump, and the exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "records/record_value.h"
#include "runtime/matfile.h"

namespace tarvio {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

struct Result {
  int code = -1;
  std::vector<json> lines;
  std::string err;
  // The last line about a control, message or question: by tag, else title.
  json find(const std::string& key) const {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
      if (it->value("tag", "") == key || it->value("title", "") == key) return *it;
    return json();
  }
};

class CliWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio_cliwin_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  Result window(const std::string& args) const {
    const std::string err = (dir / "stderr.txt").string();
    const std::string cmd = "cd '" + dir.string() + "' && '" + std::string(TARVIO_BIN) + "/tarvio-cli' window " + args +
                            " 2>'" + err + "' </dev/null";
    Result r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int st = ::pclose(p);
    r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) r.lines.push_back(json::parse(line));
    std::ifstream e(err);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    return r;
  }
  fs::path dir;
};

// One script and the text or value a control shows afterwards.
struct Shown {
  const char* name;
  const char* args;
  const char* tag;
  const char* text;  // nullptr: check the value instead
  double value;
};
void PrintTo(const Shown& s, std::ostream* os) { *os << s.name; }

class CliWindowShows : public CliWindow, public ::testing::WithParamInterface<Shown> {};

TEST_P(CliWindowShows, TheStoredValue) {
  const Shown& c = GetParam();
  const Result r = window(std::string(c.args) + " --print " + c.tag);
  ASSERT_EQ(r.code, 0) << r.err;
  const json j = r.find(c.tag);
  ASSERT_FALSE(j.is_null()) << c.tag;
  if (c.text)
    EXPECT_EQ(j["text"], c.text);
  else
    EXPECT_EQ(j["value"].get<double>(), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliWindowShows,
    ::testing::Values(
        Shown{"ScramblerHex20", "--choose pdDataRate=14 --enter txtScramblerInit=20", "txtScramblerInit", "20", 0},
        Shown{"ScramblerHexFF", "--choose pdDataRate=14 --enter txtScramblerInit=FF", "txtScramblerInit", "7F", 0},
        Shown{"PacketsZero", "--enter txtNumberOfPackets=0", "txtNumberOfPackets", "1", 0},
        Shown{"PacketsMany", "--enter txtNumberOfPackets=5000", "txtNumberOfPackets", "2000", 0},
        Shown{"FilterFactor", "--choose pdFilterType=3 --enter txtFilterFactor=0.01", "txtFilterFactor", "0.05", 0},
        Shown{"Channel14", "--choose pdChannels=14", "txtFrequency", "2.484", 0},
        Shown{"InvalidOfdmRate", "--choose pdDataRate=14 --choose pdEncoder=2", "pdDataRate", nullptr, 15},
        Shown{"Oversampling12", "--enter txtOversampleRate=12", "txtOversampleRate", "9", 0},
        Shown{"Oversampling1", "--enter txtOversampleRate=1", "txtOversampleRate", "2", 0},
        Shown{"OversamplingOfdm7", "--choose pdDataRate=4 --enter txtOversampleRate=7", "txtOversampleRate", "5", 0},
        Shown{"OversizedAddress", "--click pbMACheaderSetup --enter txtAddress1=123456789ABCDEF --click pbOK",
              "figMACconfig.txtAddress1", "FFFFFFFFFFFF", 0},
        Shown{"AddressInDialogByName",
              "--click pbMACheaderSetup --enter figMACconfig.txtAddress2=ABC --click figMACconfig.pbOK",
              "figMACconfig.txtAddress2", "000000000ABC", 0},
        Shown{"SubcarrierCloseIsCancel", "--choose pdDataRate=4 --click pbSubCarriers --close figCarriers",
              "figCarriers", nullptr, 0}));

TEST_F(CliWindow, UnframedTotalLengthIsTheDataLength) {
  const Result r = window("--check rbGenUnFrm=1 --print txtTotalLength --print txtDataLength --print pdDataRate");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.find("pdDataRate")["value"], 6);
  EXPECT_EQ(r.find("txtTotalLength")["text"], r.find("txtDataLength")["text"]);
}

TEST_F(CliWindow, ChannelAndRateReachTheRecords) {
  const Result r = window("--choose pdChannels=6 --choose pdDataRate=4 --enter txtNumberOfPackets=3 --dump d.mat");
  ASSERT_EQ(r.code, 0) << r.err;
  const MatVars vars = mat_read((dir / "d.mat").string());
  std::map<std::string, Value> v(vars.begin(), vars.end());
  const SigGenSettings sg = record_from_value<SigGenSettings>(v.at("SigGenSettings"), "SigGenSettings");
  const Parameters p = record_from_value<Parameters>(v.at("parameters"), "parameters");
  EXPECT_EQ(sg.Frequency, 2437000000);
  EXPECT_EQ(p.OverSampling, 2);
  EXPECT_EQ(sg.Scaling, 95);
  EXPECT_EQ(*sg.SamplingRate, 40000000);
  EXPECT_EQ(p.numberOfPackets, 3);
  EXPECT_TRUE(v.count("configuration") && v.count("appInfo"));
}

TEST_F(CliWindow, DownloadBeforeCalculationAsksAndCancelStops) {
  const Result r = window("--answer Cancel --click pbDownload");
  ASSERT_EQ(r.code, 0) << r.err;
  const json q = r.find("Waveform Not Calculated");
  EXPECT_EQ(q["buttons"], json::array({"Calculate & Download", "Cancel"}));
  EXPECT_EQ(q["default"], "Calculate & Download");
  EXPECT_EQ(q["answer"], "Cancel");
  EXPECT_EQ(r.lines.size(), 1u);  // nothing else happened
}

TEST_F(CliWindow, MemoryOptionAsksOnlyAboveItsSize) {
  // Unframed 11 Mbit/s CCK: 2000 bytes x 8 chips x 4 samples x 125 packets = 8000000.
  const std::string fits = "--check rbGenUnFrm=1 --enter txtDataLength=2000 --enter txtNumberOfPackets=125 ";
  Result r = window(fits + "--print txtNumberOfSamples --menu menuConfigBBG1Opt1 --print menuConfigBBG1Opt1");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.find("txtNumberOfSamples")["text"], "8000000 Samples");
  EXPECT_TRUE(r.find("Waveform too large").is_null());
  EXPECT_EQ(r.find("menuConfigBBG1Opt1")["value"], 1);
  r = window(fits + "--enter txtNumberOfPackets=126 --menu menuConfigBBG1Opt1 --print menuConfigBBG1Opt1");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.find("Waveform too large")["answer"], "Cancel");
  EXPECT_EQ(r.find("menuConfigBBG1Opt1")["value"], 0);
}

TEST_F(CliWindow, OtherPlatformHasNoBasebandSubmenu) {
  Result r = window("--print menuConfigBBG1");
  EXPECT_EQ(r.code, 0) << r.err;
  r = window("--platform b --print menuConfigBBG1");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no control or menu item menuConfigBBG1"), std::string::npos) << r.err;
}

TEST_F(CliWindow, AllOffSubcarriersAreRefused) {
  const Result r = window(
      "--choose pdDataRate=4 --click pbSubCarriers --choose pdFastEditCarriers=8 --click pbOK --print figCarriers");
  EXPECT_EQ(r.code, 1) << r.err;  // an error box was shown
  const json m = r.find("Invalid configuration");
  EXPECT_EQ(m["kind"], "error");
  EXPECT_EQ(m["text"], "At least one carrier must be active to produce a signal.");
  EXPECT_NE(r.err.find("--click pbOK: an error was shown: Invalid configuration"), std::string::npos) << r.err;
}

TEST_F(CliWindow, ControlLineHasEveryKey) {
  const Result r = window("--print pdModulation");
  ASSERT_EQ(r.code, 0) << r.err;
  const json j = r.lines.at(0);
  for (const char* k : {"tag", "kind", "text", "value", "entries", "enabled", "visible", "tooltip"})
    EXPECT_TRUE(j.contains(k)) << k;
  EXPECT_EQ(j["kind"], "list");
  EXPECT_EQ(j["entries"], json::array({"CCK", "PBCC"}));
  EXPECT_EQ(j["tooltip"], "Selects the modulation.\nNote: Some data rates have more\nthan 1 modulation format");
}

// The analysis window is a window of the script too: its entry, its menu
// and its status line.
TEST_F(CliWindow, AnalyzeCaptureFromAScript) {
  ASSERT_EQ(std::system(("cd '" + dir.string() + "' && '" + std::string(TARVIO_BIN) +
                         "/tarvio-cli' calc --set numberOfPackets=2 --dump d.mat >/dev/null")
                            .c_str()),
            0);
  const Result r = window("--file d.mat --menu menuFileAnalyzeCapture --print figAnalyze.lblStatus");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.find("figAnalyze.lblStatus")["text"], "2 packets, 2 pass, 0 fail");
  const Result bad = window("--enter figAnalyze.txtSampleRate=abc");
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.err.find("The sample rate 'abc' MHz is not a number"), std::string::npos) << bad.err;
}

TEST_F(CliWindow, ParameterFileAndSettingsApplyBeforeTheActions) {
  Result r = window("--enter txtNumberOfPackets=4 --file set.mat --menu menuFileSaveAs");
  ASSERT_EQ(r.code, 0) << r.err;
  r = window("set.mat --set dataLength=100 --print txtNumberOfPackets --print txtDataLength");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.find("txtNumberOfPackets")["text"], "4");
  EXPECT_EQ(r.find("txtDataLength")["text"], "100");
}

TEST_F(CliWindow, ActionsThatCannotBeDoneFailWithTheReason) {
  Result r = window("--enter txtScramblerInit=1");  // an OFDM field, hidden at 11 Mbit/s
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("hidden"), std::string::npos) << r.err;
  r = window("--choose pdDataRate=16");
  EXPECT_EQ(r.code, 1);
  r = window("--choose pdDataRate");
  EXPECT_EQ(r.code, 2);
  r = window("--check chkMACfcs=2");
  EXPECT_EQ(r.code, 2);
}

// An error box, a refused answer and a menu item the bar does not offer
// fail the script at that action: exit status 1, the reason on standard
// error, the actions after it not run.
TEST_F(CliWindow, ErrorsShownAndRefusedActionsExitOne) {
  struct Case {
    const char* args;
    const char* in_err;
  } cases[] = {
      {"--file missing.mat --menu menuFileOpen", "an error was shown: Error Loading File"},
      {"--file no-such-folder/set.mat --menu menuFileSaveAs",
       "an error was shown: Error Saving no-such-folder/set.mat"},
      {"--set dataLength=2000 --set numberOfPackets=2000 --click pbCalculate", "an error was shown: Size Error!"},
      {"--answer Maybe --click pbDownload", "\"Maybe\" to the question \"Waveform Not Calculated\" is not one of"},
      {"--menu menuPlotWaterfall", "menu item menuPlotWaterfall (\"Waterfall\") is hidden"},
      {"--menu menuSpecialImpairments", "(\"Impairments\") is not built"},
      {"--enter pdDataRate=3", "it is a list, not an edit"},
  };
  for (const Case& c : cases) {
    const Result r = window(std::string(c.args) + " --click pbCalculate --print txtStatusBar");
    EXPECT_EQ(r.code, 1) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.in_err), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_TRUE(r.find("txtStatusBar").is_null()) << c.args;  // nothing after the failing action
  }
}

}  // namespace
}  // namespace tarvio
