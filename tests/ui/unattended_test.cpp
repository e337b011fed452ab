// The unattended operations and the window commands called by name, on the
// program-wide model: the hidden start, SetWLAN_vars with its checks and
// header clamp, the calculation entry, the dispatchers, and the names the
// library exports.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>

#include "control/parameter_files.h"
#include "records/compare_struct.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/registry.h"
#include "tests/ui/model_fixture.h"

namespace tarvio::ui::testing {
namespace {

namespace fs = std::filesystem;

std::vector<Value> call(const std::string& name, Args in = {}, int nout = 0) {
  return Registry::instance().call(name, in, nout);
}

// A number list: rate, carrier in GHz, data length, the seven header values
// (FrameCntrl, DurationID, SeqCntrl, Address1..4) and their seven switches.
std::vector<double> numbers(double rate, double ghz, double length) {
  return {rate, ghz, length, 0x0801, 0, 0, 1, 2, 3, 4, 1, 1, 1, 1, 1, 1, 1};
}

class Unattended : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio-unattended-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    old_cwd = fs::current_path();
    fs::current_path(dir);
    old_reporter = set_reporter(rep);
    call("Dot11_faceless");
  }
  void TearDown() override {
    release_application();
    set_reporter(old_reporter);
    fs::current_path(old_cwd);
    fs::remove_all(dir);
  }
  // WLAN_varsB.mat from the defaults, and the number list.
  void prepare(const std::vector<double>& numbers, bool with_mat = true) {
    if (with_mat) {
      // Saved from the window, as a user prepares it.
      Parameters saved = state().parameters;
      saved.faceless = 0;
      saveParameters("WLAN_varsB.mat", saved, state().sigGenSettings);
    }
    std::ofstream f("WLAN_varsB.txt");
    for (double x : numbers) f << std::setprecision(17) << x << "\n";
  }
  Parameters& p() { return state().parameters; }

  fs::path dir, old_cwd;
  std::shared_ptr<KeepingReporter> rep = std::make_shared<KeepingReporter>();
  std::shared_ptr<Reporter> old_reporter;
};

TEST_F(Unattended, FacelessStartBuildsTheHiddenWindowAndMarksTheSet) {
  Application* app = current_application();
  ASSERT_NE(app, nullptr);
  EXPECT_FALSE(app->main().visible());
  EXPECT_EQ(p().faceless, 1);
  EXPECT_EQ(app->main().at("pdDataRate").tooltip, "Selects the data rate.");
  EXPECT_FALSE(state().dontSetSampleRate.has_value());
  EXPECT_FALSE(state().sigGenSettings.SamplingRate.has_value());
}

TEST_F(Unattended, SetWlanVarsAppliesTheNumbers) {
  prepare(numbers(54, 2.437, 200));
  call("SetWLAN_vars");
  EXPECT_EQ(state().sigGenSettings.Frequency, 2437000000);
  EXPECT_EQ(p().dataRate, 54);
  EXPECT_EQ(p().format, 1);
  EXPECT_EQ(p().OverSampling, 2);
  EXPECT_EQ(*state().sigGenSettings.SamplingRate, 40000000);
  EXPECT_EQ(p().dataLength, 200);
  EXPECT_EQ(p().faceless, 1);
  EXPECT_EQ(p().MirrorSpectrum, 1);  // OFDM unattended plays mirrored
  EXPECT_EQ(p().MACheader.Contents.FrameCntrl.Contents, 0x0801);
  EXPECT_EQ(p().MACheader.Contents.Address4.Contents, 4);
  EXPECT_EQ(p().totalLength, 200 + 30 + 4);
  call("ExeCalculation");
  EXPECT_FALSE(state().waveform.empty());
}

TEST_F(Unattended, SetWlanVarsHoldsHeaderValuesWithinTheirFields) {
  std::vector<double> s = numbers(11, 2.412, 100);
  s[3] = 70000;                    // frame control: 2 bytes
  s[6] = std::ldexp(1.0, 48) + 5;  // address 1: 6 bytes
  s[5] = -3;                       // sequence control
  s[16] = 0;                       // no address 4
  prepare(s);
  call("SetWLAN_vars");
  const MacHeader& h = p().MACheader.Contents;
  EXPECT_EQ(h.FrameCntrl.Contents, 65535);
  EXPECT_EQ(h.Address1.Contents, std::ldexp(1.0, 48) - 1);
  EXPECT_EQ(h.SeqCntrl.Contents, 0);
  EXPECT_EQ(h.BitStream.size(), 192u);  // 24 bytes: nothing lengthened, address 4 left out
  EXPECT_EQ(p().MACheader.Length, 24);
  EXPECT_EQ(state().MAChdr.BitStream, h.BitStream);
}

struct BadInput {
  const char* name;
  std::vector<double> numbers;
  bool with_mat;
  const char* says;
};
void PrintTo(const BadInput& b, std::ostream* os) { *os << b.name; }

class UnattendedBadInput : public Unattended, public ::testing::WithParamInterface<BadInput> {};

TEST_P(UnattendedBadInput, StopsWithAClearErrorAndChangesNothing) {
  const BadInput& b = GetParam();
  prepare(b.numbers, b.with_mat);
  const Value before = to_value(p());
  const double freq = state().sigGenSettings.Frequency;
  try {
    call("SetWLAN_vars");
    FAIL() << "SetWLAN_vars went ahead";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
  }
  EXPECT_TRUE(CompareStruct(to_value(p()), before));
  EXPECT_EQ(state().sigGenSettings.Frequency, freq);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnattendedBadInput,
    ::testing::Values(BadInput{"FewNumbers", {11, 2.4, 100, 0, 0}, true, "holds 5 numbers; 17 are needed"},
                      BadInput{"RateNotListed", numbers(7, 2.4, 100), true, "the data rate 7 Mbit/s"},
                      BadInput{"NoParameterFile", numbers(11, 2.4, 100), false, "WLAN_varsB.mat"},
                      BadInput{"PayloadAboveTheFrameLimit", numbers(54, 2.4, 5000), true, "maxDataLen"}));

TEST_F(Unattended, CalculationStoppedByACheckFailsTheStep) {
  p().MACheader.Contents.SeqCntrl.Active = 0;
  EXPECT_THROW(call("ExeCalculation"), std::runtime_error);
  EXPECT_TRUE(rep->shown("Parameter Conflict Warning!"));
}

TEST_F(Unattended, WindowCommandsByName) {
  call("Dot11g_GUI_c", {Value("pdDataRate_Callback"), Value(14.0)});
  EXPECT_EQ(p().dataRate, 54);
  EXPECT_EQ(current_application()->main().at("pdDataRate").value, 14);
  call("Dot11g_GUI_c", {Value("txtNumberOfPackets_Callback"), Value("5000")});
  EXPECT_EQ(p().numberOfPackets, 2000);
  // An error inside is shown; the caller goes on.
  call("Dot11g_GUI_c", {Value("noSuchCommand")});
  ASSERT_FALSE(rep->messages.empty());
  EXPECT_NE(rep->messages.back().text.find("noSuchCommand"), std::string::npos);
  EXPECT_EQ(call("RfCommonUI", {Value("addFileExtention"), Value("a"), Value(".mat")}, 1)[0].str(), "a.mat");
  EXPECT_EQ(call("GetTagIndex", {Value("figMain"), Value("rbGenFrm")}, 1)[0].to_double(), 1);
  const std::vector<Value> fig = call("LoadFigure", {Value("dot11_MACconfig.fig")}, 2);
  EXPECT_EQ(fig[0].str(), "figMACconfig");
  EXPECT_EQ(fig[1].record().at("txtAddress1").str(), "figMACconfig.txtAddress1");
  EXPECT_THROW(call("SetupDSSS", {Value(), Value()}), CountError);
}

TEST_F(Unattended, ShutDownStoresTheConnectionAndKeepsTheHiddenModel) {
  state().configuration.TCPIP.address = "192.0.2.1";
  call("AppShutDown");
  ASSERT_TRUE(fs::exists(kIoConfigFile));
  EXPECT_EQ(loadConfig()->TCPIP.address, "192.0.2.1");
  EXPECT_FALSE(current_application()->closed());  // unattended: the window set stays
}

// The export list's names this library registers (the figure tools come
// with the desktop program).
TEST(ExportedNames, AreRegisteredAndVariableListsMarked) {
  const char* names[] = {"InitializeAppInfo",
                         "InitializeConfiguration",
                         "InitializeParameters",
                         "InitializeSigGenSettings",
                         "Dot11g_c",
                         "Dot11_faceless",
                         "SetFaceless",
                         "SetWLAN_vars",
                         "ExeCalculation",
                         "ExeDownload",
                         "AppShutDown",
                         "SetSampleRate",
                         "SetOverSampling",
                         "SetScaling",
                         "SetOfdmMod",
                         "SetupDSSS",
                         "SetupOFDM",
                         "UpdateDataRate",
                         "UpdateOversampleRate",
                         "LoadParameters",
                         "SaveConfig",
                         "LoadVars",
                         "Formatconfig",
                         "CompareStruct",
                         "Dot11_MACconfig",
                         "RecalcBitStream",
                         "Ccitt_crc32mx",
                         "HexString",
                         "ByteSwap",
                         "Multi_scramble_740mx",
                         "HwIO",
                         "KV_SigGen",
                         "KORPlay",
                         "KORPlay_c",
                         "KORconfig_c",
                         "KorConfigAdv_c",
                         "Orv_Export",
                         "Orv_ExportMx",
                         "SaveBriscaWaveform",
                         "Dot11g_GUI_c",
                         "RedrawFormatParameters",
                         "RedrawGenerationParameters",
                         "RedrawPaylodSetup",
                         "RedrawProjectedLength",
                         "DotA_redrawGenerationParameters",
                         "DotB_redrawGenerationParameters",
                         "Redraw_dot11aDataRate",
                         "InitializeFigure",
                         "RfCommonUI",
                         "InitializeFigures",
                         "KV_AddMenu",
                         "LoadFigure",
                         "PositionChildWindow",
                         "Dot11a_GUI_SubCarrierMask",
                         "Phading_GUI",
                         "Clkswitch_gui",
                         "Bi2de",
                         "De2bi",
                         "Num2Str",
                         "Isvarname",
                         "Iskeyword",
                         "Clock2str",
                         "GetTagIndex",
                         "Oct2dec"};
  for (const char* n : names) EXPECT_NE(Registry::instance().find(n), nullptr) << n;
  for (const char* n : {"Multi_scramble_740mx", "Dot11_MACconfig", "Ccitt_crc32mx", "HwIO", "KV_SigGen", "KORconfig_c",
                        "KorConfigAdv_c", "Orv_ExportMx", "Dot11g_GUI_c", "RfCommonUI", "Dot11a_GUI_SubCarrierMask",
                        "Phading_GUI", "Clkswitch_gui", "Oct2dec"})
    EXPECT_TRUE(Registry::instance().find(n)->variable) << n;
  EXPECT_FALSE(Registry::instance().find("Dot11a_SIGNAL")->variable);
}

}  // namespace
}  // namespace tarvio::ui::testing
