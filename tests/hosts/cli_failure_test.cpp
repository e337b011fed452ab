// tarvio-cli when things go wrong: a full disk (a file-size limit), a full
// standard output, and interrupts. A failure must give a non-zero exit
// status and a message naming the file and the reason, keep the old file,
// and leave no temporary, partial or packet file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "ended_process.h"
#include "fifo_reader.h"
#include "instrument/sim_process.h"
#include "mat5_craft.h"
#include "runtime/matfile.h"

namespace fs = std::filesystem;

namespace tarvio {
namespace {

struct Options {
  rlim_t file_size_limit = RLIM_INFINITY;
  bool ignore_file_size_signal = true;  // false: the program must see to SIGXFSZ itself
  std::string stdout_path;              // empty: a file of the fixture
  std::string cwd;                      // empty: the test's own working folder
};

class CliFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    for (fs::path* d : {&dir_, &tmp_}) {
      std::string templ = (fs::temp_directory_path() / "tarvio-cli-failure-XXXXXX").string();
      ASSERT_NE(::mkdtemp(templ.data()), nullptr);
      *d = templ;
    }
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
    fs::remove_all(tmp_, ec);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  static std::vector<std::string> entries(const fs::path& d) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(d)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::string contents(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // Starts tarvio-cli with its own temporary folder (TMPDIR, where its
  // packet file goes) and standard error in a file; returns the process.
  pid_t start(const std::vector<std::string>& args, const Options& o = {}) const {
    const std::string out = o.stdout_path.empty() ? path("stdout.txt") : o.stdout_path;
    const std::string err = path("stderr.txt");
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::setenv("TMPDIR", tmp_.c_str(), 1);
    if (!o.cwd.empty() && ::chdir(o.cwd.c_str()) != 0) ::_exit(126);
    if (o.file_size_limit != RLIM_INFINITY) {
      if (o.ignore_file_size_signal) ::signal(SIGXFSZ, SIG_IGN);
      rlimit r{o.file_size_limit, o.file_size_limit};
      ::setrlimit(RLIMIT_FSIZE, &r);
    }
    const int fo = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int fe = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fo, 1);
    ::dup2(fe, 2);
    std::vector<std::string> all = {cli_};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(cli_.c_str(), argv.data());
    ::_exit(127);
  }
  // The exit status, or 1000 + the signal that ended the process.
  static int wait_for(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }
  int run(const std::vector<std::string>& args, const Options& o = {}) const { return wait_for(start(args, o)); }
  std::string err() const { return contents(path("stderr.txt")); }

  // Waits until a file whose name holds `part` appears in `d`.
  static bool appears(const fs::path& d, const std::string& part, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      for (const auto& e : fs::directory_iterator(d))
        if (e.path().filename().string().find(part) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  std::string cli_ = std::string(TARVIO_BIN) + "/tarvio-cli";
  fs::path dir_, tmp_;
};

TEST_F(CliFailure, ACompletedCommandLeavesNoPacketFile) {
  ASSERT_EQ(run({"call", "Calculate"}), 0) << err();
  EXPECT_EQ(entries(tmp_), std::vector<std::string>{});
  ASSERT_EQ(run({"calc", "--rate", "6", "--raw", path("w.bin")}), 0) << err();
  EXPECT_EQ(entries(tmp_), std::vector<std::string>{});
}

struct FullDiskCase {
  const char* name;
  std::vector<std::string> args;  // "@" stands for the output file
};

void PrintTo(const FullDiskCase& c, std::ostream* os) { *os << c.name; }

class CliFullDisk : public CliFailure, public ::testing::WithParamInterface<FullDiskCase> {};

TEST_P(CliFullDisk, FailsNamingTheFileAndKeepsTheOldOne) {
  const std::string out = path("out.file");
  std::ofstream(out) << "the old file";
  std::vector<std::string> args;
  for (const auto& a : GetParam().args) args.push_back(a == "@" ? out : a);
  Options o;
  o.file_size_limit = 512;  // the packet file of a calculation is larger than any output: the unit tests cover those
  EXPECT_EQ(run(args, o), 1) << err();
  EXPECT_NE(err().find(out), std::string::npos) << err();
  EXPECT_NE(err().find("File too large"), std::string::npos) << err();
  EXPECT_EQ(contents(out), "the old file");
  EXPECT_EQ(entries(dir_), (std::vector<std::string>{"out.file", "stderr.txt", "stdout.txt"}));
  EXPECT_EQ(entries(tmp_), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, CliFullDisk,
    ::testing::Values(FullDiskCase{"DumpOut", {"dump", "parameters", "SigGenSettings", "--out", "@"}},
                      FullDiskCase{"CallOut", {"call", "PNgenerator", "9", "20000", "--out", "@"}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(CliFailure, AFileSizeLimitIsAWriteErrorNotASilentEnd) {
  Options o;
  o.file_size_limit = 200 * 1024;  // as ulimit -f 200
  o.ignore_file_size_signal = false;
  EXPECT_EQ(run({"calc", "--set", "numberOfPackets=20", "--export", path("w.wfm")}, o), 1) << err();
  EXPECT_NE(err().find("File too large"), std::string::npos) << err();
  EXPECT_EQ(entries(tmp_), std::vector<std::string>{});
  EXPECT_EQ(entries(dir_), (std::vector<std::string>{"stderr.txt", "stdout.txt"}));
}

TEST_F(CliFailure, WhatKilledRunsLeftIsRemovedAtStart) {
  const std::string dead = std::to_string(testing::ended_process_id());
  const std::string alive = "tarvio-" + std::to_string(::getpid()) + "-packets.bin";
  for (const std::string& n :
       {"tarvio-" + dead + "-packets.bin", "tarvio-" + dead + "-packets.bin.markers",
        "tarvio-download-" + dead + ".bin", "." + alive + "." + dead + ".abcdEFGH.partial", alive})
    std::ofstream(tmp_ / n) << "left";
  std::ofstream(path(".w.wfm." + dead + ".abcdEFGH.partial")) << "left";
  Options o;
  o.cwd = dir_.string();
  ASSERT_EQ(run({"fields", "PN9"}, o), 0) << err();
  EXPECT_EQ(entries(tmp_), std::vector<std::string>{alive});
  EXPECT_EQ(entries(dir_), (std::vector<std::string>{"stderr.txt", "stdout.txt"}));
}

class CliSpecialTarget : public CliFailure, public ::testing::WithParamInterface<const char*> {
 protected:
  // The calc command writing its one output, named by the option, to `out`.
  int write(const std::string& out) { return run({"calc", "--quiet", GetParam(), out}); }
  static bool is_kind(const std::string& p, mode_t kind) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
  }
};

TEST_P(CliSpecialTarget, AFifoGetsWhatAFileWould) {
  ASSERT_EQ(write(path("file")), 0) << err();
  testing::FifoReader reader(path("pipe"));
  ASSERT_EQ(write(path("pipe")), 0) << err();
  const std::string piped = reader.bytes();
  EXPECT_TRUE(is_kind(path("pipe"), S_IFIFO));
  EXPECT_EQ(entries(dir_), (std::vector<std::string>{"file", "pipe", "stderr.txt", "stdout.txt"}));
  if (piped.rfind("MATLAB", 0) != 0) {
    EXPECT_TRUE(piped == contents(path("file")));
    return;
  }
  // A MAT file holds the time of its calculation: the same variables.
  std::ofstream(path("piped.mat"), std::ios::binary) << piped;
  auto names = [](const std::string& p) {
    std::vector<std::string> n;
    for (const auto& [name, v] : mat_read(p)) n.push_back(name);
    return n;
  };
  EXPECT_EQ(names(path("piped.mat")), names(path("file")));
}

TEST_P(CliSpecialTarget, AFullDeviceIsAWriteErrorAndStaysADevice) {
  std::string full = path("full");
  if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) full = "/dev/full";
  if (!is_kind(full, S_IFCHR)) GTEST_SKIP() << "no full device";
  EXPECT_EQ(write(full), 1) << err();
  EXPECT_NE(err().find("'" + full + "': No space left on device"), std::string::npos) << err();
  EXPECT_TRUE(is_kind(full, S_IFCHR));
  EXPECT_EQ(entries(tmp_), std::vector<std::string>{});
}

TEST_P(CliSpecialTarget, ALinkKeepsPointingAtTheNewFile) {
  fs::create_directory(dir_ / "real");
  std::ofstream(path("real/out")) << "old";
  fs::create_symlink("real/out", dir_ / "link");
  ASSERT_EQ(write(path("link")), 0) << err();
  EXPECT_TRUE(fs::is_symlink(dir_ / "link"));
  EXPECT_GT(fs::file_size(path("real/out")), 3u);
  EXPECT_EQ(entries(dir_ / "real"), std::vector<std::string>{"out"});
}

INSTANTIATE_TEST_SUITE_P(Outputs, CliSpecialTarget,
                         ::testing::Values("--raw", "--export", "--dump", "--save-wave", "--save-params"),
                         [](const auto& p) {
                           std::string n = p.param + 2;
                           n.erase(std::remove(n.begin(), n.end(), '-'), n.end());
                           return n;
                         });

struct InputCase {
  const char* name;
  std::vector<std::string> args;  // "@NAME" stands for a file of the fixture
  const char* message;            // part of standard error, "@NAME" as in the arguments
};

void PrintTo(const InputCase& c, std::ostream* os) { *os << c.name; }

class CliInput : public CliFailure, public ::testing::WithParamInterface<InputCase> {};

TEST_P(CliInput, AnUnusableFileIsNamedWithTheReason) {
  fs::create_directory(dir_ / "folder");
  fs::create_directory(dir_ / "folder.sigmf-meta");
  std::ofstream(path("text.sigmf-meta")) << "{\"global\": ";
  std::ofstream(path("typed.sigmf-meta")) << "{\"global\": {\"core:datatype\": 5}}";
  auto expand = [&](const std::string& a) {
    std::string r = a;
    for (size_t at; (at = r.find('@')) != std::string::npos;) {
      size_t end = at + 1;
      while (end < r.size() && (std::isalnum(static_cast<unsigned char>(r[end])) || r[end] == '.' || r[end] == '-'))
        ++end;
      r.replace(at, end - at, path(r.substr(at + 1, end - at - 1)));
    }
    return r;
  };
  std::vector<std::string> args;
  for (const auto& a : GetParam().args) args.push_back(expand(a));
  EXPECT_EQ(run(args), 1) << err();
  EXPECT_NE(err().find(expand(GetParam().message)), std::string::npos) << err();
  EXPECT_EQ(err().find("basic_filebuf"), std::string::npos) << err();
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliInput,
    ::testing::Values(
        InputCase{"ParameterFile", {"calc", "@folder"}, "MAT file '@folder': is a directory"},
        InputCase{"Plot", {"plot", "spectrum", "@folder", "--csv", "@x.csv"}, "@folder: is a directory"},
        InputCase{"Inspect", {"inspect", "@folder"}, "@folder: is a directory"},
        InputCase{"Download", {"download", "--file", "@folder", "--address", "127.0.0.1:1"}, "@folder: is a directory"},
        InputCase{"Verify", {"verify", "@folder"}, "@folder: is a directory"},
        InputCase{"VerifySigmf", {"verify", "@folder.sigmf"}, "@folder.sigmf-meta: is a directory"},
        InputCase{"SigmfNotJson",
                  {"download", "--file", "@text.sigmf", "--address", "127.0.0.1:1"},
                  "the SigMF metadata '@text.sigmf-meta' is not valid JSON: parse error at line 1, column 12"},
        InputCase{"SigmfWrongKind",
                  {"verify", "@typed.sigmf-meta"},
                  "the SigMF metadata '@typed.sigmf-meta': \"core:datatype\" is not a text"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(CliFailure, ACraftedParameterFileIsRefusedNotACrash) {
  namespace m5 = testing::mat5;
  const std::string field = m5::matrix(m5::mxDOUBLE, {1, 1}, "", m5::doubles(1, 5));
  m5::save(path("crafted.mat"), m5::header() + m5::matrix(m5::mxSTRUCT, {100000, 100000}, "fileParameters",
                                                          m5::struct_names({"a"}) + field));
  EXPECT_EQ(run({"calc", path("crafted.mat")}), 1);
  EXPECT_NE(err().find("Error Loading File"), std::string::npos) << err();
  EXPECT_NE(err().find("claims 10000000000 elements"), std::string::npos) << err();
  EXPECT_EQ(run({"call", "ByteSwap", "@" + path("crafted.mat") + ":fileParameters"}), 1);
  EXPECT_NE(err().find("claims 10000000000 elements"), std::string::npos) << err();
}

struct RefusalCase {
  const char* name;
  std::vector<std::string> args;
  int code;
  const char* message;  // part of standard error
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class CliRefusal : public CliFailure, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(CliRefusal, IsAnErrorNamingTheValueAndTheReason) {
  EXPECT_EQ(run(GetParam().args), GetParam().code) << err();
  EXPECT_NE(err().find(GetParam().message), std::string::npos) << err();
}

// Sizes far beyond any machine's memory, so the refusal does not depend on it.
INSTANTIATE_TEST_SUITE_P(
    Arguments, CliRefusal,
    ::testing::Values(
        RefusalCase{
            "PNgeneratorText", {"call", "PNgenerator", "abc", "32"}, 1, "n must be a number, not a text ('abc')"},
        RefusalCase{"PNgeneratorNegative",
                    {"call", "PNgenerator", "9", "-32"},
                    1,
                    "dataLength must be a whole number of bits, not -32"},
        RefusalCase{"PNgeneratorHuge", {"call", "PNgenerator", "9", "1e15"}, 1, "1000000000000000 elements of 9 bytes"},
        RefusalCase{
            "HexStringHuge", {"call", "HexString", "5", "1e13"}, 1, "20000000000000 elements of 2 bytes (40 TB)"},
        RefusalCase{"UpsampleHuge",
                    {"call", "Upsample", "[1 2 3]", "1e12"},
                    1,
                    "3000000000000 elements of 32 bytes (96 TB) are more than the"},
        RefusalCase{"EmptyExport", {"calc", "--export", ""}, 2, "--export needs a value, not an empty text"},
        RefusalCase{"EmptyOut", {"dump", "parameters", "--out", ""}, 2, "--out needs a value, not an empty text"},
        RefusalCase{"EmptyAddress", {"ping", "--address", ""}, 2, "--address needs a value, not an empty text"}),
    [](const auto& p) { return std::string(p.param.name); });

// Impairments that no chain can make are refused like any other field:
// the field, its value and its range named, exit status 2, nothing written.
class CliImpairmentRefusal : public CliFailure, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(CliImpairmentRefusal, NamesTheFieldAndItsRangeAndWritesNothing) {
  std::vector<std::string> args = GetParam().args;
  args.insert(args.begin(), "calc");
  for (const char* o : {"--export", "--sigmf", "--save-params"}) args.insert(args.end(), {o, path("out")});
  EXPECT_EQ(run(args), GetParam().code) << err();
  EXPECT_NE(err().find(GetParam().message), std::string::npos) << err();
  for (const std::string& name : entries(dir_)) EXPECT_NE(name.rfind("out", 0), 0u) << name << " was written";
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CliImpairmentRefusal,
    ::testing::Values(RefusalCase{"NaN",
                                  {"--set", "Impairments.SNR=nan"},
                                  2,
                                  "Impairments.SNR = NaN is not allowed (it is not a number); it takes -20 to 200, "
                                  "or Inf = no noise"},
                      RefusalCase{"NegativeBandwidth",
                                  {"--set", "Impairments.NoiseBandwidth=-1e6"},
                                  2,
                                  "Impairments.NoiseBandwidth = -1000000 is not allowed (it is below the range)"},
                      RefusalCase{"ProfileOutOfOrder",
                                  {"--set", "Impairments.PhaseNoise=[1e4 -80 1e3 -90]"},
                                  2,
                                  "Impairments.PhaseNoise(3) = 1000 is not allowed (the offsets must rise"},
                      RefusalCase{"SaturationBelowRange",
                                  {"--set", "Impairments.PA.Saturation=-25"},
                                  2,
                                  "Impairments.PA.Saturation = -25 is not allowed (it is below the range); it takes "
                                  "-20 to 40, or Inf = no power amplifier"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(CliFailure, AFilterFileWithoutEndIsReadInConstantMemory) {
  if (!fs::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero";
  ASSERT_EQ(run({"call", "LoadUserFilterFile", "/dev/zero"}), 0) << err();
  EXPECT_NE(err().find("File Format Error"), std::string::npos) << err();
  EXPECT_EQ(contents(path("stdout.txt")), "out1 = -1\nout2 = []\n");
}

TEST_F(CliFailure, RefreshAgainstASilentInstrumentNamesTheTimeOut) {
  testing::SimProcess sim({"--port", "0", "--fault", "silent"});
  EXPECT_EQ(run({"refresh", "--address", sim.address(), "--timeout", "0.3"}), 1);
  EXPECT_NE(err().find("Error Occured During Instrument Setup: LAN " + sim.address() + ": no answer within 0.3 s"),
            std::string::npos)
      << err();
}

TEST_F(CliFailure, InspectEscapesTheFilesTextFields) {
  // An export file of one sample (docs/export-file.md) whose comment would
  // clear the screen and ring the bell.
  std::string file(192 + 13, '\0');
  file.replace(0, 8, "TVWFXPRT");
  auto put32 = [&](size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) file[at + size_t(k)] = char(v >> (8 * k));
  };
  put32(8, 192);  // header size
  put32(12, 1);   // layout version
  put32(16, 1);   // one sample
  file.replace(108, 9, std::string("A\x1b[2J\x07\"\\z", 9));
  std::ofstream(path("t.wfm"), std::ios::binary) << file;
  ASSERT_EQ(run({"inspect", path("t.wfm")}), 0) << err();
  EXPECT_NE(contents(path("stdout.txt")).find("Comment            \"A\\x1B[2J\\x07\\\"\\\\z\"\n"), std::string::npos)
      << contents(path("stdout.txt"));
}

TEST_F(CliFailure, AFullStandardOutputIsAFailure) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Options o;
  o.stdout_path = "/dev/full";
  EXPECT_EQ(run({"dump", "parameters"}, o), 1);
  EXPECT_NE(err().find("cannot write standard output: No space left on device"), std::string::npos) << err();
}

struct InterruptCase {
  const char* name;
  std::vector<std::string> args;  // "@" stands for the output folder
  const char* wait_for;           // part of a file name that shows the phase has begun
  bool in_tmp;                    // that file is in the temporary folder, not the output folder
  int signal;
};

void PrintTo(const InterruptCase& c, std::ostream* os) { *os << c.name; }

class CliInterrupt : public CliFailure, public ::testing::WithParamInterface<InterruptCase> {};

TEST_P(CliInterrupt, RemovesEveryTemporaryAndPartialFileAndExitsWith128PlusTheSignal) {
  const InterruptCase& c = GetParam();
  std::vector<std::string> args;
  for (const auto& a : c.args) args.push_back(a[0] == '@' ? path(a.substr(1)) : a);
  const pid_t pid = start(args);
  const bool seen = appears(c.in_tmp ? tmp_ : dir_, c.wait_for, std::chrono::seconds(120));
  ::kill(pid, c.signal);
  EXPECT_EQ(wait_for(pid), 128 + c.signal) << err();
  ASSERT_TRUE(seen) << "the phase did not begin";
  EXPECT_EQ(entries(tmp_), std::vector<std::string>{});
  EXPECT_EQ(entries(dir_), (std::vector<std::string>{"stderr.txt", "stdout.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Phases, CliInterrupt,
                         ::testing::Values(InterruptCase{"calculation",
                                                         {"calc", "--rate", "54", "--set", "dataLength=2000", "--set",
                                                          "numberOfPackets=800", "--export", "@w.wfm"},
                                                         "-packets.bin",
                                                         true,
                                                         SIGINT},
                                           InterruptCase{"export",
                                                         {"calc", "--rate", "54", "--set", "dataLength=2000", "--set",
                                                          "numberOfPackets=800", "--export", "@w.wfm"},
                                                         ".partial",
                                                         false,
                                                         SIGTERM},
                                           InterruptCase{"dump",
                                                         {"calc", "--rate", "54", "--set", "dataLength=2000", "--set",
                                                          "numberOfPackets=800", "--dump", "@d.mat"},
                                                         ".partial",
                                                         false,
                                                         SIGHUP}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(CliFailure, PlaybackSettingsKeepToTheEntryRulesAndInstrumentErrorsFail) {
  const std::string log = path("sim.log");
  testing::SimProcess sim({"--port", "0", "--log", log});
  ASSERT_EQ(run({"download", "--address", sim.address(), "--yes", "--sig", "Scaling=NaN", "--sig", "Frequency=-5",
                 "--sig", "Amplitude=1e9"}),
            0)
      << err();
  EXPECT_NE(err().find("--sig Scaling=NaN: Scaling is not a number: 85 % is used"), std::string::npos) << err();
  EXPECT_NE(err().find("--sig Frequency=-5: Frequency -5 Hz is outside 100 kHz to 1e12 Hz: 100000 Hz is used"),
            std::string::npos)
      << err();
  const std::string sent = contents(log);
  for (const char* command : {" :source:rad:ARB:rscaling 85\n", " :source:freq:fix 100000Hz\n",
                              " :source:power:level:immediate:amplitude 30dbm\n"})
    EXPECT_NE(sent.find(command), std::string::npos) << command;
  // The calculation's own rate (OFDM at 8 times oversampling: 160 MHz) is
  // above what this instrument plays: it says so, and the download fails.
  EXPECT_EQ(run({"download", "--address", sim.address(), "--yes", "--rate", "6", "--set", "OverSampling=8"}), 1);
  EXPECT_NE(err().find("Error Occured During Instrument Setup"), std::string::npos) << err();
  EXPECT_NE(err().find("-222,\"Data out of range;value clipped to limit\""), std::string::npos) << err();
}

TEST_F(CliFailure, AnInterruptedDownloadLeavesNoPacketFile) {
  testing::SimProcess sim({"--port", "0", "--fault", "silent"});
  const pid_t pid = start({"download", "--address", sim.address(), "--timeout", "30", "--yes"});
  ASSERT_TRUE(appears(tmp_, "download", std::chrono::seconds(30)));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // into the wait for the silent instrument
  ::kill(pid, SIGINT);
  EXPECT_EQ(wait_for(pid), 130) << err();
  EXPECT_EQ(entries(tmp_), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarvio
