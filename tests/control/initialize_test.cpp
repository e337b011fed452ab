// Tests of the four initialisers: the defaults of each record, the computed
// fields, the field order of each record, and their registration as
// operations without inputs.
#include "control/initialize.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "records/record_value.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

std::vector<std::string> field_names(const Value& v) {
  std::vector<std::string> n;
  for (const auto& f : v.record().fields()) n.push_back(f.first);
  return n;
}

class Initialized : public ::testing::Test {
 protected:
  void SetUp() override { InitializeAll(); }
  const Parameters& p() const { return state().parameters; }
};

TEST_F(Initialized, ParameterDefaultsAndComputedFields) {
  EXPECT_TRUE(state().initialized);
  EXPECT_EQ(p().ParameterFileFormat_ID, "dot11 - Format 1.0");
  EXPECT_EQ(p().totalLength, 1058);
  EXPECT_EQ(p().totalLength, p().MACheader.Length + p().dataLength + p().MACfcs.Length);
  EXPECT_EQ(p().rampLength, 88);     // 2 us * 11 MHz * 4
  EXPECT_EQ(p().idleSamples, 4400);  // 100 us * 11 MHz * 4
  EXPECT_EQ(p().scramblerInit, 0b1011101);
  EXPECT_EQ(p().clkStruct, 0x711D);
  ASSERT_EQ(p().SubCarriers.size(), 53u);
  for (size_t k = 0; k < 53; ++k) EXPECT_EQ(p().SubCarriers[k], k == 26 ? 0 : 1) << "sub-carrier " << k;
  EXPECT_EQ(p().MACheader.Contents.BitStream, std::vector<double>(240, 0.0));
  EXPECT_EQ(p().MACheader.Contents.Address4.Size, 6);
  EXPECT_EQ(p().MACheader.Contents.SeqCntrl.Size, 2);
  EXPECT_TRUE(p().MACfcs.Contents.empty());
  EXPECT_EQ(p().Fading.atten, std::vector<double>(12, 0.0));
}

TEST_F(Initialized, FilterIsTheGaussianDesignOfTheDefaults) {
  // Rectangular symbol pulse through a Gaussian: bT 0.5, 6 symbols at 4
  // taps per symbol, computed here from its closed form.
  const double bT = 0.5, os = 4;
  const int n = 24;
  const double sigma = std::sqrt(std::log(2.0)) / (2 * std::numbers::pi * bT);
  ASSERT_EQ(p().filterCoeffs.size(), size_t(n));
  for (int i = 0; i < n; ++i) {
    double t = (i - (n - 1) / 2.0) / os;
    double expected = std::erf((t + 0.5) / (std::sqrt(2.0) * sigma)) - std::erf((t - 0.5) / (std::sqrt(2.0) * sigma));
    EXPECT_NEAR(p().filterCoeffs[i], expected, 1e-12) << "tap " << i;
  }
}

TEST_F(Initialized, ProjectedLengthIsOne11MbitCckPacket) {
  // 1058 octets at 11 Mbit/s CCK = 8464 chips, plus 192 us of long preamble
  // and header (2112 chips), at 4 samples per chip, plus two 88-sample ramps
  // and the 4400-sample idle interval.
  EXPECT_EQ(p().ProjectedLength, (8464 + 2112) * 4 + 2 * 88 + 4400);
}

TEST_F(Initialized, PacketFileIsPerProcessInTheTemporaryFolder) {
  std::filesystem::path f(p().multiFrame.tmpFileName);
  EXPECT_EQ(f.parent_path(), std::filesystem::temp_directory_path());
  EXPECT_EQ(f.filename().string(), "tarvio-" + std::to_string(::getpid()) + "-packets.bin");
}

TEST_F(Initialized, OtherRecordsDefaults) {
  const SigGenSettings& s = state().sigGenSettings;
  EXPECT_EQ(s.Title, "WLan");
  EXPECT_EQ(s.Frequency, 2412e6);
  EXPECT_EQ(s.Amplitude, -30);
  EXPECT_FALSE(s.SamplingRate.has_value());
  const Configuration& c = state().configuration;
  EXPECT_EQ(c.type, "GPIB");
  EXPECT_EQ(c.GPIB.primary, 19);
  EXPECT_EQ(c.GPIB.secondary, -1);
  EXPECT_EQ(c.RS232.handshake, "Xon/Xoff");
  EXPECT_EQ(c.TCPIP.address, "0.0.0.0");
  EXPECT_EQ(c.BBGtype, "MEM-C");
  const AppInfo& a = state().appInfo;
  EXPECT_EQ(a.Platform, "c");
  EXPECT_EQ(a.IsRelease, 1);
  EXPECT_EQ(a.ApplicationFunction, "dot11g_GUI_c");
  EXPECT_EQ(a.ParameterFileExtension, ".mat");
  EXPECT_FALSE(a.LastCaluclatedParameterSet.has_value());
  EXPECT_TRUE(a.ClientWindows.empty() && a.LastCalcTimeStamp.empty());
}

TEST_F(Initialized, RecordsHaveExactlyTheirFieldsInOrder) {
  EXPECT_EQ(field_names(to_value(p())), (std::vector<std::string>{"ParameterFileFormat_ID",
                                                                  "format",
                                                                  "dot11bScaling",
                                                                  "dot11aScaling",
                                                                  "generationMode",
                                                                  "dataRate",
                                                                  "highRateMod",
                                                                  "modulation",
                                                                  "encoderRate",
                                                                  "preambleType",
                                                                  "clkLocked",
                                                                  "scramblerActive",
                                                                  "scramblerInit",
                                                                  "encoderActive",
                                                                  "interleaverActive",
                                                                  "SubCarriers",
                                                                  "Channel",
                                                                  "MirrorSpectrum",
                                                                  "clkStruct",
                                                                  "MACheader",
                                                                  "incrSeqCtrl",
                                                                  "incrFragNum",
                                                                  "seqCtrlFreq",
                                                                  "MACfcs",
                                                                  "maxDataLen",
                                                                  "dataSourceType",
                                                                  "dataLength",
                                                                  "dataSourceName",
                                                                  "dataSourceBitstream",
                                                                  "numberOfPackets",
                                                                  "totalLength",
                                                                  "OverSampling",
                                                                  "OverSampling_b",
                                                                  "OverSampling_a",
                                                                  "WindowingLength",
                                                                  "serviceField",
                                                                  "rampType",
                                                                  "rampLength",
                                                                  "FilterType",
                                                                  "FilterFactor",
                                                                  "FilterTaps",
                                                                  "filterCoeffs",
                                                                  "idleSamples",
                                                                  "ProjectedLength",
                                                                  "Fading",
                                                                  "FadingState",
                                                                  "multiFrame",
                                                                  "faceless"}));
  Value pv = to_value(p());
  EXPECT_EQ(field_names(pv.record().at("MACheader")), (std::vector<std::string>{"Active", "Length", "Contents"}));
  EXPECT_EQ(field_names(pv.record().at("MACheader").record().at("Contents")),
            (std::vector<std::string>{"BitStream", "FrameCntrl", "DurationID", "SeqCntrl", "Address1", "Address2",
                                      "Address3", "Address4"}));
  EXPECT_EQ(field_names(pv.record().at("MACfcs")), (std::vector<std::string>{"Active", "Length", "Contents"}));
  EXPECT_EQ(field_names(pv.record().at("Fading")), (std::vector<std::string>{"delay", "phase", "atten", "state"}));
  EXPECT_EQ(field_names(pv.record().at("multiFrame")), (std::vector<std::string>{"tmpFileName", "pktSize", "max"}));
  // SamplingRate stays absent until the sample rate is first set.
  EXPECT_EQ(field_names(to_value(state().sigGenSettings)),
            (std::vector<std::string>{"Title", "Frequency", "Amplitude", "BBfilter", "Scaling", "ModAtten",
                                      "ModAttenAuto", "RFblanking", "ALC", "ArbRefSource", "MarkerPolarity"}));
  EXPECT_EQ(
      field_names(to_value(state().configuration)),
      (std::vector<std::string>{"faceless", "type", "GPIB", "RS232", "TCPIP", "BBGtype", "LastParameterFilename"}));
  Value a = to_value(state().appInfo);
  EXPECT_EQ(field_names(a),
            (std::vector<std::string>{"Name", "Platform", "IsRelease", "Rev", "Date", "Notes", "NotesLine2",
                                      "NotesLine3", "NotesLine4", "NotesLine5", "NotesLine6", "NotesLine7",
                                      "AboutMessage", "ApplicationFunction", "ParameterFileExtension", "ClientWindows",
                                      "LastCaluclatedParameterSet", "LastCalcTimeStamp"}));
  EXPECT_TRUE(a.record().at("LastCaluclatedParameterSet").is_empty());
}

TEST_F(Initialized, ParametersAreRebuiltWhateverWasChanged) {
  state().parameters.dataRate = 54;
  state().parameters.faceless = 1;
  state().parameters.OverSampling = 9;
  state().parameters.SubCarriers.clear();
  InitializeParameters();
  EXPECT_EQ(p().dataRate, 11);
  EXPECT_EQ(p().faceless, 0);
  EXPECT_EQ(p().rampLength, 88);
  EXPECT_EQ(p().SubCarriers.size(), 53u);
}

class InitializerOperation : public ::testing::TestWithParam<const char*> {};

TEST_P(InitializerOperation, RunsWithoutInputsAndRefusesAny) {
  const std::string name = GetParam();
  InitializeAll();
  state().parameters.dataLength = 5;
  state().configuration.type = "TCPIP";
  state().sigGenSettings.Title = "x";
  state().appInfo.Name = "x";
  try {
    Registry::instance().call(name, {Value(1.0)}, 0);
    FAIL() << "no count error";
  } catch (const CountError& e) {
    EXPECT_NE(std::string(e.what()).find(name + " declares 0 inputs"), std::string::npos) << e.what();
  }
  EXPECT_EQ(state().parameters.dataLength, 5);  // the body did not run
  EXPECT_TRUE(Registry::instance().call(name, {}, 0).empty());
  const OpInfo* op = Registry::instance().find(name);
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(op->max_in, 0);
  EXPECT_EQ(op->max_out, 0);
}

INSTANTIATE_TEST_SUITE_P(All, InitializerOperation,
                         ::testing::Values("InitializeParameters", "InitializeSigGenSettings",
                                           "InitializeConfiguration", "InitializeAppInfo"));

TEST(InitializerOperationEffect, EachOperationResetsItsOwnRecord) {
  InitializeAll();
  state().parameters.dataLength = 5;
  state().configuration.type = "TCPIP";
  state().sigGenSettings.Title = "x";
  state().appInfo.Name = "x";
  Registry::instance().call("InitializeParameters", {}, 0);
  EXPECT_EQ(state().parameters.dataLength, 1024);
  EXPECT_EQ(state().configuration.type, "TCPIP");
  Registry::instance().call("InitializeConfiguration", {}, 0);
  EXPECT_EQ(state().configuration.type, "GPIB");
  EXPECT_EQ(state().sigGenSettings.Title, "x");
  Registry::instance().call("InitializeSigGenSettings", {}, 0);
  EXPECT_EQ(state().sigGenSettings.Title, "WLan");
  Registry::instance().call("InitializeAppInfo", {}, 0);
  EXPECT_EQ(state().appInfo.Name, "Tarvio");
}

}  // namespace
}  // namespace tarvio
