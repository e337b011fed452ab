// Payload sources and the user data file reader.
#include "mac/payload.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "mac/mac_bits.h"
#include "mac/pn_generator.h"
#include "mac/user_data_file.h"
#include "records/record_value.h"
#include "runtime/registry.h"
#include "runtime/report.h"

namespace tarvio {
namespace {

Parameters with_source(double code, double bytes) {
  Parameters p;
  p.dataSourceType = code;
  p.dataLength = bytes;
  return p;
}

TEST(Payload, PatternsAndPnSources) {
  EXPECT_EQ(Dot11_GeneratePayload(with_source(1, 3)), Bits(24, 0));
  EXPECT_EQ(Dot11_GeneratePayload(with_source(2, 3)), Bits(24, 1));
  const Bits alt0 = Dot11_GeneratePayload(with_source(3, 2));
  const Bits alt1 = Dot11_GeneratePayload(with_source(4, 2));
  ASSERT_EQ(alt0.size(), 16u);
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(alt0[i], i % 2) << i;
    EXPECT_EQ(alt1[i], 1 - i % 2) << i;
  }
  // On air (octets reversed) source 3 starts with 1 and source 4 with 0.
  EXPECT_EQ(ByteSwap(alt0)[0], 1);
  EXPECT_EQ(ByteSwap(alt1)[0], 0);
  EXPECT_EQ(Dot11_GeneratePayload(with_source(5, 4)), PNgenerator(9, 32));
  EXPECT_EQ(Dot11_GeneratePayload(with_source(6, 4)), PNgenerator(15, 32));
  EXPECT_TRUE(Dot11_GeneratePayload(with_source(5, 0)).empty());
  EXPECT_THROW(Dot11_GeneratePayload(with_source(8, 4)), std::invalid_argument);
  EXPECT_THROW(Dot11_GeneratePayload(with_source(1, 2.5)), std::invalid_argument);
}

TEST(Payload, UserFileRow) {
  Parameters p = with_source(7, 1);
  p.dataSourceBitstream = {1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 1, 0, 0, 0, 0};
  // A file row longer than dataLength*8 is used whole.
  EXPECT_EQ(Dot11_GeneratePayload(p), (Bits{1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 1, 0, 0, 0, 0}));
  // A shorter one is repeated up to dataLength*8 bits.
  p.dataLength = 5;
  const Bits b = Dot11_GeneratePayload(p);
  ASSERT_EQ(b.size(), 40u);
  for (size_t i = 0; i < 40; ++i) EXPECT_EQ(b[i], p.dataSourceBitstream[i % 16]) << i;
  p.dataSourceBitstream.clear();
  EXPECT_THROW(Dot11_GeneratePayload(p), std::invalid_argument);
}

TEST(Payload, ByNameTakesTheParameterRecord) {
  Parameters p = with_source(4, 2);
  const auto out = Registry::instance().call("Dot11_GeneratePayload", {to_value(p)}).at(0);
  EXPECT_EQ(out.to_bits(), Dot11_GeneratePayload(p));
  EXPECT_EQ(out.rows(), 1u);
}

class UserDataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rec_ = std::make_shared<RecordingReporter>();
    old_ = set_reporter(rec_);
    dir_ = std::filesystem::temp_directory_path() /
           ("tarvio_userdata_" + std::to_string(::getpid()) + "_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "three.bin").string();
    std::ofstream(path_, std::ios::binary) << std::string("\xA5\x01\x80", 3);
  }
  void TearDown() override {
    set_reporter(old_);
    std::filesystem::remove_all(dir_);
  }
  std::shared_ptr<RecordingReporter> rec_;
  std::shared_ptr<Reporter> old_;
  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(UserDataFileTest, ThreeBytesMostSignificantBitFirst) {
  const UserDataFile r = LoadUserDataFile(path_, 2312 * 8, "left-msb");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.bits, (Bits{1, 0, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(rec_->messages.empty());
}

TEST_F(UserDataFileTest, RightOrderAndBitLimit) {
  EXPECT_EQ(LoadUserDataFile(path_, 100, "right-msb").bits,
            (Bits{1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(LoadUserDataFile(path_, 8, "left-msb").bits, (Bits{1, 0, 1, 0, 0, 1, 0, 1}));
  // The default limit of 0 bits reads nothing.
  const UserDataFile none = LoadUserDataFile(path_);
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(none.bits.empty());
  const auto out = Registry::instance().call("LoadUserDataFile", {Value(path_), Value(16.0), Value("left-msb")}, 2);
  EXPECT_EQ(out.at(0).to_double(), 1.0);
  EXPECT_EQ(out.at(1).to_bits(), (Bits{1, 0, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST_F(UserDataFileTest, UnopenableFileShowsFileError) {
  const std::string missing = (dir_ / "missing.bin").string();
  const UserDataFile r = LoadUserDataFile(missing, 800, "left-msb");
  EXPECT_EQ(r.status, -1);
  EXPECT_TRUE(r.bits.empty());
  ASSERT_EQ(rec_->messages.size(), 1u);
  EXPECT_EQ(rec_->messages[0].kind, MessageKind::Error);
  EXPECT_EQ(rec_->messages[0].title, "File Error");
  EXPECT_EQ(rec_->messages[0].text, "Could not open\n" + missing);
  EXPECT_TRUE(rec_->messages[0].modal);
  EXPECT_EQ(LoadUserDataFile(dir_.string(), 800, "left-msb").status, -1);  // a folder is not a file
}

}  // namespace
}  // namespace tarvio
