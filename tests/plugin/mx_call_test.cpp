// The argument-array interface's error escape: an error raised inside an
// entry point unwinds to mx_call, runs the destructors on the way (so a live
// export writer removes its temporary files), discards results already
// stored, and reports the message; allocation failures read "bad allocation".
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>

#include "export_writer.h"
#include "mxarray.h"

namespace tarvio {
namespace {

namespace fs = std::filesystem;

fs::path g_dir;

ExportHeader header() {
  ExportHeader h;
  h.ResidualMode = 4;
  return h;
}

// Raises while a writer is in its first pass with all its files open.
void raise_mid_export(int, mxArray* plhs[], int, const mxArray*[]) {
  plhs[0] = mx_create_scalar(1);  // stored before the error: must be discarded
  TwoPassExportWriter w((g_dir / "out.wfm").string(), "", header());
  const double x[3] = {0.1, 0.2, 0.3};
  if (!w.Begin(0) || !w.WriteChunk(x, x, nullptr, 3, false)) throw std::logic_error("set-up failed");
  mx_raise("File Export Failed!");
}

void throw_bad_alloc(int, mxArray*[], int, const mxArray*[]) { throw std::bad_alloc(); }
void throw_runtime(int, mxArray*[], int, const mxArray*[]) { throw std::runtime_error("disk on fire"); }

void echo_text(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 1 || mx_class_of(prhs[0]) != MX_CHAR) mx_raise("one text please");
  char buf[64];
  mx_text(prhs[0], buf, sizeof buf);
  plhs[0] = mx_create_text(buf);
}

struct EscapeCase {
  const char* name;
  mx_entry fn;
  const char* message;
};
void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.name; }

class MxEscapeTest : public ::testing::TestWithParam<EscapeCase> {
 protected:
  void SetUp() override {
    g_dir =
        fs::temp_directory_path() / (std::string("tarvio_mx_") + std::to_string(::getpid()) + "_" + GetParam().name);
    fs::remove_all(g_dir);
    fs::create_directories(g_dir);
  }
  void TearDown() override { fs::remove_all(g_dir); }
};

TEST_P(MxEscapeTest, ErrorReachesMxCallWithItsMessageAndNothingLeftBehind) {
  mxArray* out[2] = {nullptr, nullptr};
  char err[128] = "unchanged";
  EXPECT_EQ(mx_call(GetParam().fn, 2, out, 0, nullptr, err, sizeof err), 1);
  EXPECT_STREQ(err, GetParam().message);
  EXPECT_EQ(out[0], nullptr);
  EXPECT_EQ(out[1], nullptr);
  EXPECT_TRUE(fs::is_empty(g_dir)) << "temporary files were left behind";
}

INSTANTIATE_TEST_SUITE_P(Causes, MxEscapeTest,
                         ::testing::Values(EscapeCase{"raised", &raise_mid_export, "File Export Failed!"},
                                           EscapeCase{"alloc", &throw_bad_alloc, "bad allocation"},
                                           EscapeCase{"exception", &throw_runtime, "disk on fire"}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(MxCall, ResultsAndLongMessagesComeBackIntact) {
  mxArray* in = mx_create_text("hello");
  const mxArray* args[1] = {in};
  mxArray* out[1] = {nullptr};
  char err[8];
  ASSERT_EQ(mx_call(&echo_text, 1, out, 1, args, err, sizeof err), 0);
  char buf[16];
  EXPECT_EQ(mx_text(out[0], buf, sizeof buf), 5);
  EXPECT_STREQ(buf, "hello");
  mx_destroy(out[0]);
  EXPECT_EQ(mx_call(&echo_text, 1, out, 0, args, err, sizeof err), 1);
  EXPECT_STREQ(err, "one tex");  // cut to the buffer, always terminated
  mx_destroy(in);
}

}  // namespace
}  // namespace tarvio
