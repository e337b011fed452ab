// The analysis window through the model: File > Analyze Capture... with a
// file chooser, the sample rate entry's rules, the packet table's rows,
// the selection and its pictures, and files that cannot be analysed.
#include "ui/analysis_window.h"

#include <gtest/gtest.h>


#include "files/raw_waveform.h"
#include "tests/verify/test_packets.h"
#include "tests/ui/model_fixture.h"

namespace tarvio::ui::testing {
namespace {

using AnalysisTest = ModelTest;

// Two 6 Mbit/s packets of 100 octets at 20 MHz, the second with its FCS
// spoiled, as a raw file (which does not carry its sample rate).
void write_capture(const std::string& path) {
  ASSERT_TRUE(SaveBriscaWaveform(verify::testing::two_packet_capture(3), path));
}

TEST_F(AnalysisTest, PacketsOfACaptureAndTheirPictures) {
  write_capture("w.raw");
  AnalysisWindow& a = app->analysis();
  std::vector<std::string> notified;
  a.subscribe([&](const std::string& tag) { notified.push_back(tag); });
  EXPECT_FALSE(a.visible());
  ASSERT_NE(w().find_menu("menuFileAnalyzeCapture"), nullptr);
  EXPECT_EQ(w().find_menu("menuFileAnalyzeCapture")->label, "&Analyze Capture...");

  // Without a rate the raw file cannot be read: said, with where to give it.
  files->names = {"w.raw"};
  w().select_menu("menuFileAnalyzeCapture");
  ASSERT_TRUE(rep->shown("Analyze Capture"));
  EXPECT_NE(rep->messages.back().text.find("Sample Rate"), std::string::npos) << rep->messages.back().text;
  EXPECT_TRUE(a.visible());
  EXPECT_EQ(a.packet_count(), 0u);
  EXPECT_FALSE(a.selected());
  EXPECT_EQ(a.at("lblStatus").text, rep->messages.back().text);

  // The entry: MHz, a capture's rate or empty; a refusal keeps the last good one.
  rep->messages.clear();
  for (const char* bad : {"abc", "0", "-20", "1e7", "nan"}) {
    a.enter("txtSampleRate", bad);
    EXPECT_EQ(a.sample_rate(), 0) << bad;
    EXPECT_EQ(a.at("txtSampleRate").text, "") << bad;
  }
  EXPECT_EQ(rep->messages.size(), 5u);
  a.enter("txtSampleRate", " 20 ");
  EXPECT_EQ(a.sample_rate(), 20e6);
  EXPECT_EQ(a.at("txtSampleRate").text, "20");
  a.enter("txtSampleRate", "x");
  EXPECT_EQ(a.at("txtSampleRate").text, "20");
  EXPECT_EQ(a.sample_rate(), 20e6);

  notified.clear();
  files->names = {"w.raw"};
  a.click("pbOpen");
  ASSERT_EQ(a.packet_count(), 2u);
  EXPECT_NE(std::find(notified.begin(), notified.end(), AnalysisWindow::kPacketsTag), notified.end());
  ASSERT_EQ(a.rows().size(), 2u);
  for (size_t r = 0; r < 2; ++r) {
    const auto& row = a.rows()[r];
    ASSERT_EQ(row.size(), AnalysisWindow::columns().size());
    EXPECT_EQ(row[0], std::to_string(r + 1));
    EXPECT_EQ(row[1], "OFDM");
    EXPECT_EQ(row[2], "6");
    EXPECT_EQ(row[3], "100");
    EXPECT_EQ(row[4], r == 0 ? "good" : "wrong");
    EXPECT_NE(row[5].find(" dB"), std::string::npos);
    EXPECT_EQ(row[7], r == 0 ? "pass" : "fail");
    EXPECT_EQ(a.row_passed(r), r == 0);
  }
  EXPECT_EQ(a.at("lblStatus").text, "2 packets, 1 pass, 1 fail");
  EXPECT_NE(a.name().find("w.raw"), std::string::npos);

  // The first packet is selected; its three pictures.
  ASSERT_EQ(a.selected(), std::optional<size_t>(0));
  std::vector<Figure> f = a.figures();
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0].name.rfind("Constellation", 0), 0u);
  EXPECT_EQ(f[1].name.rfind("EVM", 0), 0u);
  EXPECT_EQ(f[2].name.rfind("Spectrum Mask", 0), 0u);
  EXPECT_EQ(f[1].axes.size(), 2u);  // per sub-carrier and per symbol
  EXPECT_EQ(f[2].axes.size(), 2u);  // spectrum with mask, power against time
  EXPECT_FALSE(f[0].axes[0].traces.empty());

  notified.clear();
  a.select(1);
  EXPECT_EQ(a.selected(), std::optional<size_t>(1));
  EXPECT_EQ(notified, std::vector<std::string>{AnalysisWindow::kSelectionTag});
  EXPECT_THROW(a.select(2), std::out_of_range);
  EXPECT_EQ(a.selected(), std::optional<size_t>(1));

  a.click("pbClose");
  EXPECT_FALSE(a.visible());

  // Cancelled: nothing changes. A file that cannot be read empties the table.
  w().select_menu("menuFileAnalyzeCapture");
  EXPECT_EQ(a.packet_count(), 2u);
  rep->messages.clear();
  files->names = {"missing.raw"};
  w().select_menu("menuFileAnalyzeCapture");
  EXPECT_EQ(a.packet_count(), 0u);
  EXPECT_FALSE(a.selected());
  EXPECT_TRUE(a.figures().empty());
  ASSERT_TRUE(rep->shown("Analyze Capture"));
  EXPECT_NE(a.at("lblStatus").text.find("missing.raw"), std::string::npos);
}

}  // namespace
}  // namespace tarvio::ui::testing
