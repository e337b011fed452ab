// Output files: the old file survives a failed write (a full disk simulated
// with a file-size limit), temporaries are unique per writer and on the
// interrupt clean-up table while they exist, long names are taken whole up
// to the system's limit, links, devices and FIFOs are written through and
// other kinds of file refused, and temporaries of killed runs are removed.
#include "runtime/output_file.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ended_process.h"
#include "fifo_reader.h"
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

TEST_F(OutputFileTest, ALinkIsFollowedAndTheFileItLeadsToReplaced) {
  fs::create_directory(dir_ / "real");
  std::ofstream(path("real/target.bin")) << "old";
  fs::create_symlink("real/target.bin", dir_ / "link.bin");
  fs::create_symlink("real/new.bin", dir_ / "dangling.bin");
  for (const char* name : {"link.bin", "dangling.bin"}) {
    OutputFile out(path(name));
    EXPECT_EQ(fs::path(out.temp_path()).parent_path(), dir_ / "real") << name;
    out.write(std::string("new ") + name);
    out.commit();
  }
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.bin"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "dangling.bin"));
  EXPECT_EQ(contents(path("real/target.bin")), "new link.bin");
  EXPECT_EQ(contents(path("real/new.bin")), "new dangling.bin");
  EXPECT_EQ(entries(), (std::vector<std::string>{"dangling.bin", "link.bin", "real"}));
}

TEST_F(OutputFileTest, AFifoIsWrittenInPlace) {
  testing::FifoReader reader(path("pipe"));
  const std::string big(3 << 20, 'p');  // past the pipe's and the writer's buffers
  {
    OutputFile out(path("pipe"));
    EXPECT_TRUE(out.in_place());
    out.write(big);
    out.write("end");
    out.commit();
  }
  EXPECT_TRUE(reader.bytes() == big + "end");
  struct stat st {};
  ASSERT_EQ(::lstat(path("pipe").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(entries(), std::vector<std::string>{"pipe"});
}

TEST_F(OutputFileTest, AFullDeviceFailsTheWriteAndStaysADevice) {
  // A node of the full device of our own where the system lets us make one.
  std::string full = path("full");
  if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) full = "/dev/full";
  struct stat before {};
  if (::stat(full.c_str(), &before) != 0 || !S_ISCHR(before.st_mode)) GTEST_SKIP() << "no full device";
  const std::string err = error_of([&] {
    OutputFile out(full);
    out.write(std::string(100, 'x'));
    out.commit();
  });
  EXPECT_EQ(err, "cannot write '" + full + "': No space left on device");
  struct stat after {};
  ASSERT_EQ(::lstat(full.c_str(), &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(after.st_rdev, before.st_rdev);
}

TEST_F(OutputFileTest, AFolderOrASocketIsRefusedAndStaysAsItWas) {
  fs::create_directory(dir_ / "folder");
  const std::string sock = path("sock");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(sock.size(), sizeof addr.sun_path);
  std::memcpy(addr.sun_path, sock.c_str(), sock.size() + 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  fs::create_symlink("sock", dir_ / "to-sock");
  EXPECT_EQ(error_of([&] { OutputFile out(path("folder")); }),
            "cannot write '" + path("folder") + "': it is a folder, not a file");
  for (const char* name : {"sock", "to-sock"})
    EXPECT_EQ(
        error_of([&] { OutputFile out(path(name)); }),
        "cannot write '" + path(name) + "': it is a socket; outputs go to files, character devices and FIFOs only");
  ::close(fd);
  EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
  EXPECT_TRUE(fs::is_socket(dir_ / "sock"));
  EXPECT_EQ(entries(), (std::vector<std::string>{"folder", "sock", "to-sock"}));
}

TEST_F(OutputFileTest, TemporariesThatKilledRunsLeftAreRemoved) {
  const std::string dead = std::to_string(testing::ended_process_id());
  const std::string alive = std::to_string(::getpid());
  const std::vector<std::string> stale = {".out.bin." + dead + ".abcdEFGH.partial",
                                          ".out.bin." + dead + ".12345678.partial"};
  std::vector<std::string> kept = {
      ".out.bin." + alive + ".abcdEFGH.partial",   // a writer that still runs
      ".out.bin.abcdEFGH.partial",                 // no process id: not provably ours
      ".other.bin." + dead + ".abcdEFGH.partial",  // another output's
      ".out.bin." + dead + ".abcdEFG.partial",     // not our pattern
      "out.bin." + dead + ".abcdEFGH.partial",
      ".out.bin." + dead + ".abcdEFGH.partialx",
  };
  for (const auto& n : stale) std::ofstream(path(n)) << "left";
  for (const auto& n : kept) std::ofstream(path(n)) << "left";
  if (::geteuid() == 0) {  // another user's file of our pattern stays
    const std::string others = ".out.bin." + dead + ".otherUSR.partial";
    std::ofstream(path(others)) << "left";
    ASSERT_EQ(::chown(path(others).c_str(), 12345, 12345), 0);
    kept.push_back(others);
  }
  fs::create_directory(dir_ / (".out.bin." + dead + ".folder12.partial"));  // not a regular file
  OutputFile out(path("out.bin"));
  out.write("new");
  out.commit();
  std::vector<std::string> expected = kept;
  expected.push_back(".out.bin." + dead + ".folder12.partial");
  expected.push_back("out.bin");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(entries(), expected);
}

}  // namespace
}  // namespace tarvio
