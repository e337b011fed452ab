// The radio as a connection of the I/O connection dialog: its entries and
// their rules, its settings in rfIOConfig.mat beside the unchanged
// connection record, and Download playing on it (the tests' radio module).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "control/parameter_files.h"
#include "files/packet_walk.h"
#include "records/record_value.h"
#include "runtime/matfile.h"
#include "ui/frame.h"
#include "ui/io_dialog.h"
#include "ui/model_fixture.h"
#include "ui/sdr_connection.h"

namespace tarvio::ui {
namespace {

using testing::ModelTest;

class SdrConnectionTest : public ModelTest {};

TEST_F(SdrConnectionTest, DialogOffersTheRadioAndKeepsTheConnectionRecord) {
  const Configuration before = state().configuration;
  w().select_menu("menuConfigSigGenIO");
  IoDialog& d = app->io();
  const auto entries = d.at("pdConnection").entries;
  ASSERT_EQ(entries.back(), kSdrConnectionEntry);
  d.choose("pdConnection", int(entries.size()));
  EXPECT_TRUE(d.at("txtSdrArgs").visible);
  EXPECT_FALSE(d.at("txtAddress").visible);
  d.enter("txtSdrArgs", "driver=tarviotest");
  const std::string freq = d.at("txtSdrFrequency").text;
  d.enter("txtSdrFrequency", "-5");
  EXPECT_EQ(d.at("txtSdrFrequency").text, freq);
  EXPECT_EQ(d.at("txtStatus").text, "Enter the frequency in Hz, a number above 0.");
  d.enter("txtSdrFrequency", "5.18e9");
  d.enter("txtSdrGain", "12x");
  EXPECT_EQ(d.at("txtStatus").text, "Enter the gain in dB, a number.");
  d.enter("txtSdrGain", "12");
  d.click("pbOK");
  EXPECT_EQ(to_value(state().configuration), to_value(before));
  EXPECT_TRUE(app->sdr().selected);
  EXPECT_EQ(app->sdr().args, "driver=tarviotest");
  EXPECT_EQ(app->sdr().frequency, 5.18e9);
  EXPECT_EQ(app->sdr().gain, 12);
  // Choosing an instrument again turns the radio off; the analyser's dialog has none.
  w().select_menu("menuConfigSigGenIO");
  EXPECT_EQ(d.at("pdConnection").value, double(entries.size()));
  d.choose("pdConnection", 1);
  d.click("pbOK");
  EXPECT_FALSE(app->sdr().selected);
  app->frame().command("menuConfigSpecAnIO_Callback", {});
  EXPECT_NE(d.at("pdConnection").entries.back(), kSdrConnectionEntry);
  d.request_close();
}

TEST_F(SdrConnectionTest, SettingsSitBesideTheRecordInRfIOConfig) {
  const Configuration c = state().configuration;
  save_io_config(c, {true, "driver=tarviotest,serial=T1", 5.18e9, 7});
  EXPECT_EQ(mat_read_var(kIoConfigFile, "fileParameters"), to_value(c));
  const auto s = load_sdr_connection();
  ASSERT_TRUE(s);
  EXPECT_TRUE(s->selected);
  EXPECT_EQ(s->args, "driver=tarviotest,serial=T1");
  EXPECT_EQ(s->frequency, 5.18e9);
  EXPECT_EQ(s->gain, 7);
  // No radio entered: the file as it always was, one variable.
  save_io_config(c, {});
  EXPECT_EQ(mat_read(kIoConfigFile).size(), 1u);
  EXPECT_FALSE(load_sdr_connection());
}

TEST_F(SdrConnectionTest, DownloadPlaysOnTheRadio) {
  ::setenv("SOAPY_SDR_PLUGIN_PATH", (std::string(TARVIO_BIN) + "/../tests/sdr/modules").c_str(), 1);
  const std::string rec = (dir / "rec").string();
  app->sdr() = {true, "driver=tarviotest,record=" + rec, 2.412e9, 0};
  w().click("pbDownload");  // asks to calculate first; the default goes ahead
  ASSERT_FALSE(rep->messages.empty());
  EXPECT_EQ(rep->messages.back().title, "Download");
  EXPECT_NE(rep->messages.back().text.find("Played"), std::string::npos) << rep->messages.back().text;
  EXPECT_EQ(std::filesystem::file_size(rec), 8 * current_packets().total());
  app->sdr().args = "driver=tarviotest,fault=timeout";
  w().click("pbDownload");
  EXPECT_EQ(rep->messages.back().kind, MessageKind::Error);
  EXPECT_NE(rep->messages.back().text.find("time-out"), std::string::npos) << rep->messages.back().text;
}

}  // namespace
}  // namespace tarvio::ui
