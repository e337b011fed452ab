// The waveform export through the library: the plug-in loaded by name, its
// argument checks and exact messages, the settings header, the choice of
// input mode, the file written from the packet file, clean-up after a
// failure, and tarvio-cli inspect on the result.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <stdexcept>

#include "files/export_data.h"
#include "files/export_file_reader.h"
#include "files/export_plugin.h"
#include "files/orv_export.h"
#include "files/waveform_outputs.h"
#include "packet_fixture.h"
#include "records/record_value.h"
#include "runtime/matfile.h"
#include "runtime/registry.h"

namespace tarvio::testing_files {
namespace {

const char* const kUsage = "Usage: Orv_ExportMx( function, ... )";
const char* const kUsage1 = "Usage: Orv_ExportMx(1, ExportFileName, Header, Option, Comment, Marker, IQData); ";
const char* const kUsage2 =
    "Usage: Orv_ExportMx(2, ExportFileName, Header, Option, Comment, Marker, PktFileName, PktSize, NumPkts); ";
const char* const kMarkers = "Markers has to have the same length with IQ data";

using ExportTest = PacketFixture;

std::string error_of(const std::vector<Value>& args) {
  try {
    call_export_plugin(args, 2);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(no error)";
}

std::vector<Value> mode1_args(const std::string& out, size_t n, size_t marker_cols) {
  return {Value::int32_scalar(1),
          Value::text(out),
          Value::row(std::vector<double>{1e9, 20e6, 0, 70, 0, 0, 0}),
          Value::text(""),
          Value::text("c"),
          Value::real(2, marker_cols, std::vector<double>(2 * marker_cols, 0.0)),
          Value::complex_row(CVec(n, cplx(0.5, -0.25)))};
}

TEST_F(ExportTest, ArgumentErrorsCarryTheirExactMessagesAndWriteNothing) {
  const std::string out = file("bad.wfm");
  std::vector<Value> a = mode1_args(out, 5, 6);  // N + 1 marker columns
  EXPECT_EQ(error_of(a), kMarkers);
  a = mode1_args(out, 5, 5);
  a[0] = Value(1.0);  // function as a double, not an int32
  EXPECT_EQ(error_of(a), kUsage);
  EXPECT_EQ(error_of({}), kUsage);
  a = mode1_args(out, 5, 5);
  a.pop_back();  // six arguments
  EXPECT_EQ(error_of(a), kUsage1);
  a = mode1_args(out, 5, 5);
  a[0] = Value::int32_scalar(2);
  a[6] = Value::text(packet_path_);
  a.push_back(Value(double(kPkt)));  // eight arguments
  EXPECT_EQ(error_of(a), kUsage2);
  a.push_back(Value(double(kPackets)));
  a[5] = Value::real(2, kPkt + 1, std::vector<double>(2 * (kPkt + 1), 0.0));  // markers wider than a packet
  EXPECT_EQ(error_of(a), kMarkers);
  EXPECT_EQ(entries(), fixture_entries());
}

TEST_F(ExportTest, SuccessReturnsZeroAndSucceededOtherFunctionsNothing) {
  const std::vector<Value> ok = call_export_plugin(mode1_args(file("a.wfm"), 7, 7), 2);
  ASSERT_EQ(ok.size(), 2u);
  EXPECT_EQ(ok[0].to_double(), 0.0);
  EXPECT_EQ(ok[1].str(), "Succeeded");
  std::vector<Value> other = mode1_args(file("b.wfm"), 7, 7);
  other[0] = Value::int32_scalar(3);
  EXPECT_TRUE(call_export_plugin(other, 2).empty());
  EXPECT_EQ(entries(), with_fixture({"a.wfm"}));
}

struct BandwidthCase {
  double bbfilter, bandwidth;
};
void PrintTo(const BandwidthCase& c, std::ostream* os) { *os << "BBfilter " << c.bbfilter; }

class SettingsHeaderTest : public ::testing::TestWithParam<BandwidthCase> {};

TEST_P(SettingsHeaderTest, SevenValuesInOrder) {
  SigGenSettings s;
  s.Frequency = 5.2e9;
  s.SamplingRate = 80e6;
  s.BBfilter = GetParam().bbfilter;
  s.Scaling = 65;
  s.ModAtten = 7;
  s.MarkerPolarity = 1;
  s.RFblanking = 2;
  EXPECT_EQ(export_settings_header(s), (std::vector<double>{5.2e9, 80e6, GetParam().bandwidth, 65, 7, 1, 4}));
  s.ModAttenAuto = 1;
  EXPECT_EQ(export_settings_header(s)[4], -2);
}

INSTANTIATE_TEST_SUITE_P(Filters, SettingsHeaderTest,
                         ::testing::Values(BandwidthCase{1, 2100000}, BandwidthCase{2, 40000000}, BandwidthCase{0, 0},
                                           BandwidthCase{3, 0}));

TEST_F(ExportTest, PacketFileIsExportedWithHeaderMarkersAndNoTemporaryFiles) {
  const std::string out = file("all.wfm");
  WriteExportFile(out);
  EXPECT_EQ(entries(), with_fixture({"all.wfm"}));
  ExportFileReader r(out);
  const ExportFileHeader& h = r.header();
  EXPECT_EQ(h.sample_count, kPkt * kPackets);
  EXPECT_EQ(h.sample_rate, 44e6);
  EXPECT_EQ(h.frequency, 2.412e9);
  EXPECT_EQ(h.bandwidth, 2100000);
  EXPECT_EQ(h.mod_atten, -2);
  EXPECT_EQ(h.rf_blank_marker, 4);  // 2 x RFblanking = 6, clamped
  EXPECT_EQ(h.marker_polarity_mask, 0x000F);
  EXPECT_EQ(h.residual_mode, 4);
  EXPECT_EQ(h.comment, kExportComment);
  const size_t n = kPkt * kPackets;
  std::vector<int16_t> vi(n), vq(n);
  std::vector<int32_t> ri(n), rq(n);
  std::vector<uint8_t> mb(n);
  r.read(0, n, vi.data(), vq.data(), ri.data(), rq.data(), mb.data());
  double peak = 0;
  for (const cplx& c : reference_) peak = std::max({peak, std::abs(c.real()), std::abs(c.imag())});
  for (size_t k = 0; k < n; ++k) {
    ASSERT_NEAR(ExportFileReader::restore(vi[k], ri[k]) * peak, reference_[k].real(), 1e-12) << k;
    ASSERT_NEAR(ExportFileReader::restore(vq[k], rq[k]) * peak, reference_[k].imag(), 1e-12) << k;
    const size_t s = k % kPkt;
    const uint8_t expected = uint8_t((s == 0 ? 1 : 0) | (s >= kBurstStart && s < kBurstEnd ? 2 : 0));
    ASSERT_EQ(mb[k], expected) << k;
  }
}

TEST_F(ExportTest, ModeFollowsTheApplicationFunction) {
  const CVec iq(9, cplx(0.1, 0.2));
  const std::vector<std::vector<double>> m9(2, std::vector<double>(9, 0.0));
  const std::vector<std::vector<double>> mp = marker_rows(state().markers);
  AppInfo app;
  app.ApplicationFunction = "something else";
  EXPECT_EQ(Orv_Export(file("mem.wfm"), iq, m9, state().sigGenSettings, app).description, "Succeeded");
  EXPECT_EQ(ExportFileReader(file("mem.wfm")).header().sample_count, 9u);
  app.ApplicationFunction = "dot11g_GUI_c";
  EXPECT_EQ(Orv_Export(file("pkt.wfm"), iq, mp, state().sigGenSettings, app).status, 0);
  EXPECT_EQ(ExportFileReader(file("pkt.wfm")).header().sample_count, kPkt * kPackets);
}

TEST_F(ExportTest, FailedExportRaisesAndLeavesNoFiles) {
  state().parameters.numberOfPackets = kPackets + 2;  // more packets than the file holds
  AppInfo app;
  app.ApplicationFunction = "dot11g_GUI_c";
  const auto markers = marker_rows(state().markers);
  try {
    Orv_Export(file("fail.wfm"), {}, markers, state().sigGenSettings, app);
    ADD_FAILURE() << "no error raised";
  } catch (const std::runtime_error& e) {
    // The fixed text, then the file and the reason.
    EXPECT_EQ(std::string(e.what()),
              "File Export Failed! the packet file '" + file("packets.bin") + "' holds 3 of 5 packets of 120 samples");
  }
  state().parameters.multiFrame.tmpFileName = file("missing.bin");
  EXPECT_THROW(Orv_Export(file("fail.wfm"), {}, markers, state().sigGenSettings, app), std::runtime_error);
  EXPECT_EQ(entries(), fixture_entries());
}

TEST_F(ExportTest, APathOverTwoHundredFiftyThreeCharactersIsTakenWhole) {
  const std::string folder = file(std::string(120, 'f') + "/" + std::string(120, 'g'));
  fs::create_directories(folder);
  const std::string out = folder + "/" + std::string(100, 'w') + ".wfm";
  ASSERT_GT(out.size(), 253u);
  WriteExportFile(out);
  EXPECT_EQ(ExportFileReader(out).header().sample_count, kPkt * kPackets);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(ExportTest, RegisteredOperationTakesValuesAndReturnsStatusAndText) {
  AppInfo app;
  app.ApplicationFunction = "faceless";
  const std::vector<Value> out =
      Registry::instance().call("Orv_Export",
                                {Value::text(file("op.wfm")), Value::complex_row(CVec(4, cplx(0.5, 0.5))),
                                 Value::real(1, 4, {1, 0, 0, 1}), to_value(state().sigGenSettings), to_value(app)},
                                2);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].to_double(), 0);
  EXPECT_EQ(out[1].str(), "Succeeded");
  ExportFileReader r(file("op.wfm"));
  EXPECT_EQ(r.header().sample_count, 4u);
  EXPECT_EQ(r.header().marker_rows, 1u);
}

TEST_F(ExportTest, ExportCommandAddsTheExtensionAndNeedsPlatformC) {
  state().appInfo.Platform = "C";
  EXPECT_EQ(ExportDataCommand(file("cmd")), file("cmd.wfm"));
  EXPECT_EQ(ExportDataCommand(file("two.wfm")), file("two.wfm"));
  state().appInfo.Platform = "x";
  EXPECT_EQ(ExportDataCommand(file("none")), "");
  EXPECT_EQ(entries(), with_fixture({"cmd.wfm", "two.wfm"}));
}

TEST_F(ExportTest, InspectPrintsTheHeaderAndWritesTheSamplesBack) {
  const std::string cli = std::string(TARVIO_BIN) + "/tarvio-cli";
  ASSERT_TRUE(fs::exists(cli)) << cli;
  const std::string out = file("insp.wfm"), mat = file("insp.mat"), log = file("insp.txt");
  WriteExportFile(out);
  const std::string cmd = cli + " inspect " + out + " --out " + mat + " > " + log + " 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const auto text = bytes_of(log);
  const std::string s(text.begin(), text.end());
  EXPECT_NE(s.find("samples            360"), std::string::npos) << s;
  EXPECT_NE(s.find("RFBlankMarker      4"), std::string::npos) << s;
  EXPECT_NE(s.find("marker samples set 3 300 0 0"), std::string::npos) << s;
  const CVec back = mat_read_var(mat, "samples").to_complex();
  ASSERT_EQ(back.size(), reference_.size());
  double peak = 0;
  for (const cplx& c : reference_) peak = std::max({peak, std::abs(c.real()), std::abs(c.imag())});
  for (size_t k = 0; k < back.size(); ++k) ASSERT_NEAR(std::abs(back[k] * peak - reference_[k]), 0, 1e-12);
  EXPECT_NE(std::system((cli + " inspect " + packet_path_ + " > " + log + " 2>&1").c_str()), 0);
}

}  // namespace
}  // namespace tarvio::testing_files
