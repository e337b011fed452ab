// Parameter files, the I/O configuration file and the unattended number
// list: round trips, the format-tag check, all-or-nothing loading, the
// defaults for older files, and the record utilities used around them.
#include "control/parameter_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "control/initialize.h"
#include "control/param_set_ops.h"
#include "mac/mac_header.h"
#include "records/compare_struct.h"
#include "records/formatconfig.h"
#include "records/record_value.h"
#include "records/state.h"
#include "records/window_hooks.h"
#include "runtime/matfile.h"
#include "runtime/report.h"

namespace tarvio {
namespace {

namespace fs = std::filesystem;

// Each test runs in its own empty working folder (the fixed file names are
// relative to it).
class ParameterFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio-pf-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    old_cwd = fs::current_path();
    fs::current_path(dir);
    InitializeAll();
    rep = std::make_shared<RecordingReporter>();
    old = set_reporter(rep);
  }
  void TearDown() override {
    set_reporter(old);
    window_hooks() = WindowHooks{};
    fs::current_path(old_cwd);
    fs::remove_all(dir);
  }
  Parameters& p() { return state().parameters; }
  fs::path dir, old_cwd;
  std::shared_ptr<RecordingReporter> rep;
  std::shared_ptr<Reporter> old;
};

TEST_F(ParameterFiles, SavedFileLoadsBackEqual) {
  UpdateDataRate(p(), state().sigGenSettings, 14, 1, 0.0);
  p().MACheader.Contents.Address1.Contents = 0x123456789ABC;
  RecalcBitStream(p().MACheader.Contents);
  p().Fading.delay[2] = 0.125;
  state().sigGenSettings.SamplingRate = 40e6;
  const Value savedP = to_value(p());
  const Value savedS = to_value(state().sigGenSettings);
  ASSERT_TRUE(saveParameters("set.mat", p(), state().sigGenSettings));
  // The three variables, in order.
  const MatVars vars = mat_read("set.mat");
  ASSERT_EQ(vars.size(), 3u);
  EXPECT_EQ(vars[0].first, "fileParameters");
  EXPECT_EQ(vars[1].first, "filename");
  EXPECT_EQ(vars[1].second.str(), "set.mat");
  EXPECT_EQ(vars[2].first, "sigGenParameters");

  InitializeAll();
  EXPECT_FALSE(CompareStruct(to_value(p()), savedP));
  ASSERT_TRUE(LoadParameters("set.mat"));
  EXPECT_TRUE(CompareStruct(to_value(p()), savedP));
  EXPECT_TRUE(CompareStruct(to_value(state().sigGenSettings), savedS));
  EXPECT_TRUE(rep->messages.empty());
}

TEST_F(ParameterFiles, AnyOtherFormatTagIsRefusedAndNothingChanges) {
  for (const char* tag : {"dot11 - Format 1.1", "Dot11 - Format 1.0", "dot11 - Format 1.0 ", ""}) {
    Parameters other = p();
    other.ParameterFileFormat_ID = tag;
    other.dataLength = 77;
    ASSERT_TRUE(saveParameters("bad.par", other, state().sigGenSettings));
    const Value before = to_value(p());
    rep->messages.clear();
    EXPECT_FALSE(LoadParameters("bad.par")) << tag;
    ASSERT_EQ(rep->messages.size(), 1u);
    EXPECT_EQ(rep->messages[0].title, "Error Loading File");
    EXPECT_EQ(rep->messages[0].text, "bad.par\nhas an Invalid File Format.");
    EXPECT_TRUE(CompareStruct(to_value(p()), before));
  }
}

TEST_F(ParameterFiles, SigGenSettingsWithoutModAttenAutoGetsZero) {
  Value sg = to_value(state().sigGenSettings);
  ASSERT_TRUE(sg.record().erase("ModAttenAuto"));
  mat_write("old.mat", {{"fileParameters", to_value(p())}, {"filename", Value("old.mat")}, {"sigGenParameters", sg}});
  state().sigGenSettings.ModAttenAuto = 1;
  ASSERT_TRUE(LoadParameters("old.mat"));
  EXPECT_EQ(state().sigGenSettings.ModAttenAuto, 0);
}

// A file whose parameters are fine but whose SigGenSettings do not fit
// changes neither record.
TEST_F(ParameterFiles, ABadVariableChangesNothing) {
  Parameters other = p();
  other.dataLength = 77;
  Value sg = to_value(state().sigGenSettings);
  sg.record().set("Scaling", Value("ninety"));
  mat_write("mixed.mat",
            {{"fileParameters", to_value(other)}, {"filename", Value("mixed.mat")}, {"sigGenParameters", sg}});
  const Value beforeP = to_value(p());
  const Value beforeS = to_value(state().sigGenSettings);
  EXPECT_FALSE(LoadParameters("mixed.mat"));
  ASSERT_EQ(rep->messages.size(), 1u);
  EXPECT_EQ(rep->messages[0].title, "Error Loading File");
  EXPECT_NE(rep->messages[0].text.find("Scaling"), std::string::npos);
  EXPECT_TRUE(CompareStruct(to_value(p()), beforeP));
  EXPECT_TRUE(CompareStruct(to_value(state().sigGenSettings), beforeS));
}

// The impairments travel as a fourth variable: saved and loaded back equal;
// a set without them is written with the three variables of old and loads
// with every impairment off.
TEST_F(ParameterFiles, ImpairmentsRoundTripAndFilesWithoutThemLoadOff) {
  Impairments& m = state().impairments;
  m.SNR = 25;
  m.DCOffset = {-30, -FieldRule::kInf};
  m.PhaseNoise = {1e3, -80, 1e4, -90, 1e5, -100};
  m.PA.Saturation = 2;
  m.Seed = 7;
  const Value saved = to_value(m);
  ASSERT_TRUE(saveParameters("imp.mat", p(), state().sigGenSettings));
  m = Impairments{};
  ASSERT_TRUE(LoadParameters("imp.mat"));
  EXPECT_TRUE(CompareStruct(to_value(state().impairments), saved));

  state().impairments = Impairments{};
  ASSERT_TRUE(saveParameters("plain.mat", p(), state().sigGenSettings));
  EXPECT_EQ(mat_read("plain.mat").size(), 3u);
  state().impairments.SNR = 10;
  ASSERT_TRUE(LoadParameters("plain.mat"));
  EXPECT_FALSE(any_impairment(state().impairments));
}

// Impairments that break their rules refuse the whole file.
TEST_F(ParameterFiles, BadImpairmentsRefuseTheFileAndChangeNothing) {
  struct Case {
    const char* field;
    Value value;
    const char* named;
  };
  const Case cases[] = {
      {"SNR", Value(std::nan("")), "Impairments.SNR"},
      {"NoiseBandwidth", Value(-5.0), "Impairments.NoiseBandwidth"},
      {"PhaseNoise", Value::row(std::vector<double>{1e4, -80, 1e3, -90}), "Impairments.PhaseNoise(3)"}};
  for (const Case& c : cases) {
    Value imp = to_value(Impairments{});
    imp.record().set(c.field, c.value);
    Parameters other = p();
    other.dataLength = 55;
    mat_write("bad.mat", {{"fileParameters", to_value(other)},
                          {"filename", Value("bad.mat")},
                          {"sigGenParameters", to_value(state().sigGenSettings)},
                          {"Impairments", imp}});
    rep->messages.clear();
    EXPECT_FALSE(LoadParameters("bad.mat")) << c.field;
    ASSERT_EQ(rep->messages.size(), 1u);
    EXPECT_NE(rep->messages[0].text.find(c.named), std::string::npos) << rep->messages[0].text;
    EXPECT_NE(p().dataLength, 55);
    EXPECT_FALSE(any_impairment(state().impairments));
  }
}

// A set saved by another run names that run's packet file; loading keeps
// this run's own.
TEST_F(ParameterFiles, LoadKeepsTheRunningPacketFile) {
  const std::string own = p().multiFrame.tmpFileName;
  Parameters other = p();
  other.multiFrame.tmpFileName = "/tmp/another-run-packets.bin";
  other.dataLength = 99;
  ASSERT_TRUE(saveParameters("o.mat", other, state().sigGenSettings));
  ASSERT_TRUE(LoadParameters("o.mat"));
  EXPECT_EQ(p().dataLength, 99);
  EXPECT_EQ(p().multiFrame.tmpFileName, own);
}

TEST_F(ParameterFiles, UnreadableFileShowsTheError) {
  std::ofstream("junk.mat") << "not a container";
  EXPECT_FALSE(LoadParameters("junk.mat"));
  EXPECT_FALSE(LoadParameters("missing.mat"));
  ASSERT_EQ(rep->messages.size(), 2u);
  EXPECT_EQ(rep->messages[0].title, "Error Loading File");
  EXPECT_FALSE(rep->messages[0].text.empty());
}

TEST_F(ParameterFiles, RedrawAfterLoadKeepsTheLoadedSampleRate) {
  state().sigGenSettings.SamplingRate = 12345;
  ASSERT_TRUE(saveParameters("r.mat", p(), state().sigGenSettings));
  std::vector<std::optional<double>> seen;
  window_hooks().redraw = [&] {
    seen.push_back(state().dontSetSampleRate);
    SetSampleRate();  // what the window's redraw does
  };
  state().dontSetSampleRate = 0;
  ASSERT_TRUE(LoadParameters("r.mat"));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], 1.0);
  EXPECT_EQ(state().dontSetSampleRate, 0.0);
  EXPECT_EQ(*state().sigGenSettings.SamplingRate, 12345);
  // Unattended parameter sets are not redrawn.
  p().faceless = 1;
  ASSERT_TRUE(saveParameters("f.mat", p(), state().sigGenSettings));
  ASSERT_TRUE(LoadParameters("f.mat"));
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(ParameterFiles, IoConfigurationForgetsTheLastParameterFile) {
  EXPECT_FALSE(loadConfig().has_value());  // no file: defaults stay
  Configuration c = state().configuration;
  c.LastParameterFilename = "C:/sets/a.mat";
  c.BBGtype = "MEM-A";
  c.GPIB.primary = 7;
  SaveConfig(c);
  ASSERT_TRUE(fs::exists("rfIOConfig.mat"));
  auto loaded = loadConfig();
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->LastParameterFilename, "");
  EXPECT_EQ(loaded->BBGtype, "MEM-A");
  EXPECT_EQ(loaded->GPIB.primary, 7);
  // A file without the variable is ignored.
  mat_write("rfIOConfig.mat", {{"other", Value(1.0)}});
  EXPECT_FALSE(loadConfig().has_value());
}

TEST_F(ParameterFiles, LoadVarsReadsTheNumberList) {
  std::ofstream("WLAN_varsB.txt") << "54 2.437\n1500\t1 2 3\n";
  EXPECT_EQ(LoadVars(), (std::vector<double>{54, 2.437, 1500, 1, 2, 3}));
  fs::remove("WLAN_varsB.txt");
  EXPECT_TRUE(LoadVars().empty());
  ASSERT_EQ(rep->messages.size(), 1u);
  EXPECT_EQ(rep->messages[0].title, "Error Loading WLAN_varsB.txt");
}

TEST(Formatconfig, ConvertsOnlyTheFieldsPresent) {
  Record gpib;
  gpib.set("board", Value(0.0));
  gpib.set("primary", Value(19.4));
  gpib.set("secondary", Value(-1.0));
  Record tcp;
  tcp.set("address", Value("10.0.0.2"));
  tcp.set("board", Value(2.5));
  Record cfg;
  cfg.set("type", Value("GPIB"));
  cfg.set("GPIB", Value(gpib));
  cfg.set("TCPIP", Value(tcp));
  const Value out = Formatconfig(Value(cfg));
  const Record& r = out.record();
  EXPECT_FALSE(r.has("RS232"));
  ASSERT_EQ(r.size(), 3u);
  const Value& prim = r.at("GPIB").record().at("primary");
  EXPECT_EQ(prim.kind(), Value::Kind::Int32);
  EXPECT_EQ(prim.ints()[0], 19);
  EXPECT_EQ(r.at("GPIB").record().at("secondary").ints()[0], -1);
  EXPECT_EQ(r.at("TCPIP").record().at("board").ints()[0], 3);
  EXPECT_EQ(r.at("TCPIP").record().at("address").str(), "10.0.0.2");
  EXPECT_EQ(r.at("type").str(), "GPIB");
}

TEST(Formatconfig, WholeConfigurationRecord) {
  Configuration c;
  c.RS232.port = 3;
  c.RS232.baudrate = 19200;
  const Value out = Formatconfig(c);
  EXPECT_EQ(out.record().at("RS232").record().at("baudrate").kind(), Value::Kind::Int32);
  EXPECT_EQ(out.record().at("RS232").record().at("baudrate").ints()[0], 19200);
  EXPECT_TRUE(out.record().at("RS232").record().at("handshake").is_text() ||
              out.record().at("RS232").record().at("handshake").is_empty());
  EXPECT_THROW(Formatconfig(Value(1.0)), std::invalid_argument);
}

TEST(CompareStructRules, FieldByFieldInOrder) {
  Parameters a;
  a.MACheader.Contents.Address3.Contents = 5;
  Parameters b = a;
  EXPECT_TRUE(CompareStruct(to_value(a), to_value(b)));
  b.MACheader.Contents.Address3.Contents = 6;
  EXPECT_FALSE(CompareStruct(to_value(a), to_value(b)));

  Record r1, r2;
  r1.set("x", Value(1.0));
  r1.set("y", Value("t"));
  r2.set("y", Value("t"));
  r2.set("x", Value(1.0));
  EXPECT_FALSE(CompareStruct(Value(r1), Value(r2)));  // order matters

  auto one = [](const char* name, Value v) {
    Record r;
    r.set(name, std::move(v));
    return Value(r);
  };
  EXPECT_TRUE(CompareStruct(one("e", Value()), one("e", Value(""))));  // two empties
  EXPECT_FALSE(CompareStruct(one("e", Value("T")), one("e", Value("t"))));
  EXPECT_FALSE(CompareStruct(one("v", Value::row(std::vector<double>{1, 2})), one("v", Value::real(2, 1, {1, 2}))));
  EXPECT_TRUE(CompareStruct(one("v", Value::int32_scalar(3)), one("v", Value(3.0))));
  EXPECT_FALSE(CompareStruct(one("v", Value("1")), one("v", Value(1.0))));
  EXPECT_TRUE(CompareStruct(one("v", Value(std::nan(""))), one("v", Value(std::nan("")))));
  EXPECT_FALSE(CompareStruct(one("v", Value(1.0)), one("w", Value(1.0))));
  EXPECT_FALSE(CompareStruct(Value(1.0), Value(1.0)));  // not records
}

}  // namespace
}  // namespace tarvio
