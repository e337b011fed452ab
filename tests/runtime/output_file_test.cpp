// Output files: the old file survives a failed write (a full disk simulated
// with a file-size limit), temporaries are unique per writer and on the
// interrupt clean-up table while they exist, and long names are taken whole
// up to the system's limit.
#include "runtime/output_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "file_size_limit.h"
#include "runtime/cleanup.h"

namespace fs = std::filesystem;

namespace tarvio {
namespace {

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "tarvio-output-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::string contents(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static std::string error_of(const std::function<void()>& f) {
    try {
      f();
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "no error";
  }
  fs::path dir_;
};

TEST_F(OutputFileTest, FullDiskFailsTheWriteAndKeepsTheOldFile) {
  std::ofstream(path("out.bin")) << "old contents";
  const std::vector<uint8_t> big(3 << 20, 0x5A);  // past the buffer, so writes reach the file
  for (size_t chunk : {size_t(100), big.size()}) {
    std::string err = error_of([&] {
      testing::FileSizeLimit limit(64 * 1024);
      OutputFile out(path("out.bin"));
      for (size_t done = 0; done < big.size(); done += chunk) out.write(big.data(), chunk);
      out.commit();
    });
    EXPECT_NE(err.find("cannot write '" + path("out.bin") + "': File too large"), std::string::npos) << err;
    EXPECT_EQ(contents(path("out.bin")), "old contents");
    EXPECT_EQ(entries(), std::vector<std::string>{"out.bin"});
  }
}

TEST_F(OutputFileTest, TheLastBytesAreCheckedAtCommit) {
  std::ofstream(path("out.bin")) << "old";
  // Less than the buffer: nothing reaches the file before commit().
  std::string err = error_of([&] {
    testing::FileSizeLimit limit(10);
    OutputFile out(path("out.bin"));
    out.write(std::string(1000, 'x'));
    out.commit();
  });
  EXPECT_NE(err.find("File too large"), std::string::npos) << err;
  EXPECT_EQ(contents(path("out.bin")), "old");
  EXPECT_EQ(entries(), std::vector<std::string>{"out.bin"});
}

TEST_F(OutputFileTest, TwoWritersOfOneNameHaveTheirOwnTemporaries) {
  OutputFile a(path("same.bin")), b(path("same.bin"));
  EXPECT_NE(a.temp_path(), b.temp_path());
  EXPECT_EQ(fs::path(a.temp_path()).parent_path(), dir_);
  a.write(std::string(5000, 'a'));
  b.write(std::string(7000, 'b'));
  a.commit();
  b.commit();
  EXPECT_EQ(contents(path("same.bin")), std::string(7000, 'b'));  // the last rename wins, whole
  EXPECT_EQ(entries(), std::vector<std::string>{"same.bin"});
}

TEST_F(OutputFileTest, TheTemporaryIsOnTheCleanupTableUntilCommitted) {
  const int before = cleanup_count();
  {
    OutputFile out(path("x.bin"));
    EXPECT_EQ(cleanup_count(), before + 1);
    out.commit();
    EXPECT_EQ(cleanup_count(), before);
  }
  {
    OutputFile dropped(path("y.bin"));
    EXPECT_EQ(cleanup_count(), before + 1);
  }
  EXPECT_EQ(cleanup_count(), before);
  EXPECT_EQ(entries(), std::vector<std::string>{"x.bin"});
}

TEST_F(OutputFileTest, LongNamesAreTakenWholeOrRefused) {
  const std::string longest(255, 'n');  // the usual file-system limit
  {
    OutputFile out(path(longest));
    out.write("whole");
    out.commit();
  }
  EXPECT_EQ(contents(path(longest)), "whole");
  std::string err = error_of([&] { OutputFile out(path(longest + "x")); });
  EXPECT_NE(err.find("the file name is 256 bytes long"), std::string::npos) << err;
  std::string deep = dir_.string();
  while (deep.size() < 5000) deep += "/" + std::string(200, 'd');
  err = error_of([&] { OutputFile out(deep + "/f.bin"); });
  EXPECT_NE(err.find("the path is"), std::string::npos) << err;
  EXPECT_NE(error_of([&] { OutputFile out(""); }).find("no file name given"), std::string::npos);
  EXPECT_NE(error_of([&] { OutputFile out(path("dir/")); }).find("a folder, not a file"), std::string::npos);
  EXPECT_EQ(entries(), std::vector<std::string>{longest});
}

}  // namespace
}  // namespace tarvio
