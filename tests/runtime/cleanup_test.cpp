// The interrupt clean-up: on SIGINT, SIGTERM and SIGHUP the files still on
// the table are removed and the process ends with 128 + the signal; files
// taken off the table stay.
#include "runtime/cleanup.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace tarvio {
namespace {

class CleanupSignal : public ::testing::TestWithParam<int> {};

TEST_P(CleanupSignal, RegisteredFilesAreRemovedAndTheExitStatusIs128PlusTheSignal) {
  std::string templ = (fs::temp_directory_path() / "tarvio-cleanup-XXXXXX").string();
  ASSERT_NE(::mkdtemp(templ.data()), nullptr);
  const fs::path dir = templ;
  const int sig = GetParam();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    install_interrupt_cleanup();
    for (const char* name : {"partial", "packets", "kept"}) std::ofstream(dir / name) << "x";
    cleanup_register((dir / "partial").string());
    cleanup_register((dir / "packets").string());
    cleanup_forget(cleanup_register((dir / "kept").string()));
    ::raise(sig);
    ::_exit(0);  // not reached
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
  EXPECT_FALSE(fs::exists(dir / "partial"));
  EXPECT_FALSE(fs::exists(dir / "packets"));
  EXPECT_TRUE(fs::exists(dir / "kept"));
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Signals, CleanupSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP));

TEST(Cleanup, AnIgnoredSignalStaysIgnored) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGHUP, SIG_IGN);  // as under nohup
    install_interrupt_cleanup();
    ::raise(SIGHUP);
    ::_exit(7);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
}

}  // namespace
}  // namespace tarvio
