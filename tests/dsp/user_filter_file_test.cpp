// The user filter file: counts against the oversampling ratio, the 1000-tap
// cut, and the exact dialog texts of each refusal.
#include "dsp/user_filter_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "records/state.h"
#include "runtime/registry.h"
#include "runtime/report.h"

namespace tarvio {
namespace {

class UserFilterFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rec_ = std::make_shared<RecordingReporter>();
    old_ = set_reporter(rec_);
    dir_ = std::filesystem::temp_directory_path() / ("tarvio_filter_" + std::to_string(::getpid()) + "_" +
                                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    set_reporter(old_);
    std::filesystem::remove_all(dir_);
  }
  std::string write(const std::string& name, const std::string& text) {
    const auto p = dir_ / name;
    std::ofstream(p) << text;
    return p.string();
  }
  static std::string numbers(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += std::to_string(i % 7 - 3) + (i % 5 == 4 ? "e-1\n" : " \t");
    return s;
  }
  std::shared_ptr<RecordingReporter> rec_;
  std::shared_ptr<Reporter> old_;
  std::filesystem::path dir_;
};

TEST_F(UserFilterFileTest, CountNotAMultipleOfTheOversamplingIsRefused) {
  const std::string path = write("f13.txt", numbers(13));
  const UserFilterFile r = LoadUserFilterFile(path, 2);
  EXPECT_EQ(r.status, -1);
  EXPECT_TRUE(r.coeff.empty());
  ASSERT_EQ(rec_->messages.size(), 1u);
  EXPECT_EQ(rec_->messages[0].title, "File Format Error");
  EXPECT_EQ(rec_->messages[0].kind, MessageKind::Error);
  EXPECT_TRUE(rec_->messages[0].modal);
  EXPECT_EQ(rec_->messages[0].text,
            path + "\nThe number of coeffients (13) must be a\nmultiple of the Oversampling Ratio: 2");
}

TEST_F(UserFilterFileTest, LongFilesSetTheLengthFromAllNumbersAndKeep1000Taps) {
  state().parameters.OverSampling = 4;
  state().parameters.FilterTaps = 8;
  const std::string path = write("f1200.txt", numbers(1200));
  const auto out = Registry::instance().call("LoadUserFilterFile", {Value(path)}, 2);
  EXPECT_EQ(out.at(0).to_double(), 1.0);
  EXPECT_EQ(out.at(1).numel(), 1000u);
  EXPECT_EQ(state().parameters.FilterTaps, 300.0);
  EXPECT_TRUE(rec_->messages.empty());
  const auto r = LoadUserFilterFile(path, 4);
  EXPECT_EQ(r.coeff[0], -3.0);
  EXPECT_EQ(r.coeff[4], 1e-1);  // "1e-1"
}

TEST_F(UserFilterFileTest, NumbersStopAtTheFirstText) {
  const UserFilterFile r = LoadUserFilterFile(write("mixed.txt", "1.5\n5e-1  25e-1\r\n-.5 end 7 8"), 2);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.coeff, (RVec{1.5, 0.5, 2.5, -0.5}));
  EXPECT_EQ(r.FilterTaps, 2.0);
}

TEST_F(UserFilterFileTest, NoNumbersShowsTheFormatExample) {
  const std::string path = write("text.txt", "coefficients follow\n1 2\n");
  const UserFilterFile r = LoadUserFilterFile(path, 1);
  EXPECT_EQ(r.status, -1);
  ASSERT_EQ(rec_->messages.size(), 1u);
  EXPECT_EQ(rec_->messages[0].title, "File Format Error");
  EXPECT_EQ(rec_->messages[0].text,
            path + "\nData is in the wrong format:\n\nExample:\n1.5\n5e-1\n25e-1\n:\nup to 1000 coeffients.");
  // Infinities and NaNs are not taps either.
  rec_->messages.clear();
  EXPECT_EQ(LoadUserFilterFile(write("inf.txt", "inf 1"), 1).status, -1);
  EXPECT_EQ(LoadUserFilterFile(write("nan.txt", "nan"), 1).status, -1);
  EXPECT_EQ(rec_->messages.size(), 2u);
}

TEST_F(UserFilterFileTest, MissingFileShowsFileErrorWithTheFullPath) {
  const std::string path = (dir_ / "absent.txt").string();
  const UserFilterFile r = LoadUserFilterFile(path, 2);
  EXPECT_EQ(r.status, -1);
  ASSERT_EQ(rec_->messages.size(), 1u);
  EXPECT_EQ(rec_->messages[0].title, "File Error");
  EXPECT_EQ(rec_->messages[0].text, "Could not open\n" + path);
}

}  // namespace
}  // namespace tarvio
