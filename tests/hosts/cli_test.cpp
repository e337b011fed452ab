// End-to-end tests of tarvio-cli: runs the built program and checks its
// output, files and exit codes, and that its MAT files load in scipy and
// Octave with every field in order and the default values.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "control/initialize.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/matfile.h"

namespace fs = std::filesystem;

namespace tarvio {
namespace {

struct CliRun {
  int code = -1;
  std::string out, err;
};

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "tarvio-cli-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
    ASSERT_TRUE(fs::exists(cli_)) << cli_ << " is not built";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Runs tarvio-cli with the arguments (a shell word list) and collects both
  // output streams and the exit code.
  CliRun run(const std::string& args) const {
    std::string err_file = path("stderr.txt");
    std::string cmd = "'" + cli_ + "' " + args + " 2>'" + err_file + "'";
    CliRun r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream e(err_file);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    return r;
  }

  // The digits of the row printed under "out1 = [1xN]", without blanks.
  static std::string printed_row(const std::string& out) {
    std::istringstream in(out);
    std::string header, row;
    std::getline(in, header);
    std::getline(in, row);
    std::string digits;
    for (char c : row)
      if (c != ' ') digits += c;
    return digits;
  }

  std::string cli_ = std::string(TARVIO_BIN) + "/tarvio-cli";
  fs::path dir_;
};

TEST_F(Cli, CallPrintsRowResults) {
  CliRun pn = run("call PNgenerator 9 32");
  EXPECT_EQ(pn.code, 0) << pn.err;
  EXPECT_EQ(pn.out.substr(0, pn.out.find('\n')), "out1 = [1x32]");
  EXPECT_EQ(printed_row(pn.out), "11111111100000111101111100010111");
  EXPECT_NE(pn.out.find("\n  bits 11111111100000111101111100010111\n"), std::string::npos) << pn.out;
  CliRun bv = run("call BitVector 5 8 left-msb");
  EXPECT_EQ(bv.code, 0) << bv.err;
  EXPECT_EQ(bv.out, "out1 = [1x8]\n  0 0 0 0 0 1 0 1\n  bits 00000101\n");
}

TEST_F(Cli, CallPrintsTextResults) {
  CliRun r = run("call HexString 5 2");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "out1 = \"0005\"\n");
}

TEST_F(Cli, CallReadsHexadecimalAndMatFileArguments) {
  CliRun r = run("call Dot11b_SizeEst 1 0x320 1 0 1 0 1 0 0 1");  // 800 bits at 1 Mbit/s, one idle sample
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "out1 = 10914\n");
  InitializeAll();
  mat_write(path("p.mat"), {{"p", to_value(state().parameters)}});
  r = run("call Dot11g_SizeEst @" + path("p.mat") + ":p");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "out1 = 46880\n");
}

TEST_F(Cli, CallSavesResultsToMatFile) {
  CliRun r = run("call BitVector 5 8 left-msb --out " + path("bits.mat"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  MatVars vars = mat_read(path("bits.mat"));
  ASSERT_EQ(vars.size(), 1u);
  EXPECT_EQ(vars[0].first, "out1");
  EXPECT_EQ(vars[0].second, Value::row(std::vector<double>{0, 0, 0, 0, 0, 1, 0, 1}));
}

TEST_F(Cli, CountErrorNamesTheOperationAndFails) {
  CliRun r = run("call InitializeParameters 1");
  EXPECT_NE(r.code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("InitializeParameters"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("declares 0 inputs"), std::string::npos) << r.err;
  r = run("call HexString 5 2 --nout 2");
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("HexString declares 1 output"), std::string::npos) << r.err;
}

TEST_F(Cli, FailuresAndUsageErrorsHaveTheirExitCodes) {
  struct Case {
    const char* args;
    int code;
    const char* in_err;
  } cases[] = {
      {"call NoSuchOperation", 1, "Undefined operation 'NoSuchOperation'"},
      {"call", 2, "name the operation"},
      {"call HexString 5 --bogus", 2, "unknown option --bogus"},
      {"call HexString 5 --nout x", 2, "--nout must be a whole number"},
      {"call Dot11g_SizeEst @/no/such/file.mat:p", 1, "no such file"},
      {"dump", 2, "name at least one variable"},
      {"dump nosuchvar", 2, "no program-wide variable 'nosuchvar'"},
      {"dump parameters --out /no/such/folder/d.mat", 1, "cannot create"},
      {"frobnicate", 2, "unknown command 'frobnicate'"},
      {"", 2, "usage: tarvio-cli"},
  };
  for (const auto& c : cases) {
    CliRun r = run(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.in_err), std::string::npos) << c.args << "\n" << r.err;
  }
}

TEST_F(Cli, HelpForTheProgramAndEveryCommand) {
  CliRun all = run("--help");
  EXPECT_EQ(all.code, 0);
  for (const char* cmd : {"call", "dump", "list"}) {
    EXPECT_NE(all.out.find(std::string("  ") + cmd + " "), std::string::npos) << all.out;
    CliRun h = run(std::string(cmd) + " --help");
    EXPECT_EQ(h.code, 0) << cmd;
    EXPECT_EQ(h.out.rfind(std::string("usage: tarvio-cli ") + cmd, 0), 0u) << h.out;
  }
}

TEST_F(Cli, ListShowsOperationsWithCounts) {
  CliRun r = run("list");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("InitializeParameters          0 in  0 out"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Dot11b_SizeEst               10 in  1 out  size = Dot11b_SizeEst("), std::string::npos);
  CliRun some = run("list SizeEst");
  EXPECT_EQ(some.code, 0);
  EXPECT_EQ(some.out.find("InitializeParameters"), std::string::npos);
  EXPECT_NE(some.out.find("Dot11g_PBCC_SizeEst"), std::string::npos);
}

// The defaults as this process builds them; the packet file name carries
// the process id and so differs between processes.
Value expected_record(const std::string& name) {
  InitializeAll();
  if (name == "parameters") {
    Value v = to_value(state().parameters);
    v.record().at("multiFrame").record().erase("tmpFileName");
    return v;
  }
  if (name == "SigGenSettings") return to_value(state().sigGenSettings);
  if (name == "configuration") return to_value(state().configuration);
  return to_value(state().appInfo);
}

TEST_F(Cli, DumpWritesTheDefaultRecords) {
  CliRun r = run("dump parameters SigGenSettings configuration appInfo --out " + path("d.mat"));
  ASSERT_EQ(r.code, 0) << r.err;
  MatVars vars = mat_read(path("d.mat"));
  ASSERT_EQ(vars.size(), 4u);
  const char* names[] = {"parameters", "SigGenSettings", "configuration", "appInfo"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(vars[i].first, names[i]);
    Value got = vars[i].second;
    if (i == 0) {
      Record& mf = got.record().at("multiFrame").record();
      EXPECT_NE(mf.at("tmpFileName").str().find("-packets.bin"), std::string::npos);
      mf.erase("tmpFileName");
    }
    EXPECT_TRUE(got == expected_record(names[i])) << names[i] << "\n" << to_display(got);
  }
  CliRun printed = run("dump SigGenSettings");
  EXPECT_EQ(printed.code, 0);
  EXPECT_EQ(printed.out, to_display(expected_record("SigGenSettings"), "SigGenSettings"));
}

TEST_F(Cli, DumpLoadsInScipyWithFieldsInOrder) {
  if (std::system("/usr/bin/python3 -c 'import scipy.io' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "/usr/bin/python3 has no scipy";
  ASSERT_EQ(run("dump parameters SigGenSettings configuration appInfo --out " + path("d.mat")).code, 0);
  std::ofstream(path("check.py")) << R"(import sys, scipy.io as sio
d = sio.loadmat(sys.argv[1])
p = d['parameters'][0, 0]
assert p.dtype.names == ('ParameterFileFormat_ID', 'format', 'dot11bScaling', 'dot11aScaling', 'generationMode',
    'dataRate', 'highRateMod', 'modulation', 'encoderRate', 'preambleType', 'clkLocked', 'scramblerActive',
    'scramblerInit', 'encoderActive', 'interleaverActive', 'SubCarriers', 'Channel', 'MirrorSpectrum', 'clkStruct',
    'MACheader', 'incrSeqCtrl', 'incrFragNum', 'seqCtrlFreq', 'MACfcs', 'maxDataLen', 'dataSourceType', 'dataLength',
    'dataSourceName', 'dataSourceBitstream', 'numberOfPackets', 'totalLength', 'OverSampling', 'OverSampling_b',
    'OverSampling_a', 'WindowingLength', 'serviceField', 'rampType', 'rampLength', 'FilterType', 'FilterFactor',
    'FilterTaps', 'filterCoeffs', 'idleSamples', 'ProjectedLength', 'Fading', 'FadingState', 'multiFrame',
    'faceless'), p.dtype.names
assert p['ParameterFileFormat_ID'][0] == 'dot11 - Format 1.0'
assert p['totalLength'][0, 0] == 1058 and p['rampLength'][0, 0] == 88 and p['idleSamples'][0, 0] == 4400
assert p['scramblerInit'][0, 0] == 93 and p['encoderRate'][0, 0] == 0.75
sc = p['SubCarriers'][0]
assert len(sc) == 53 and sc[26] == 0 and sc.sum() == 52
assert p['filterCoeffs'].shape == (1, 24)
a1 = p['MACheader'][0, 0]['Contents'][0, 0]['Address1'][0, 0]
assert a1.dtype.names == ('Contents', 'Size', 'Active') and a1['Size'][0, 0] == 6
assert p['dataSourceName'].size == 0 and p['MACfcs'][0, 0]['Contents'].size == 0
s = d['SigGenSettings'][0, 0]
assert s.dtype.names == ('Title', 'Frequency', 'Amplitude', 'BBfilter', 'Scaling', 'ModAtten', 'ModAttenAuto',
    'RFblanking', 'ALC', 'ArbRefSource', 'MarkerPolarity')
assert s['Title'][0] == 'WLan' and s['Frequency'][0, 0] == 2412000000 and s['Amplitude'][0, 0] == -30
c = d['configuration'][0, 0]
assert c.dtype.names == ('faceless', 'type', 'GPIB', 'RS232', 'TCPIP', 'BBGtype', 'LastParameterFilename')
assert c['GPIB'][0, 0]['secondary'][0, 0] == -1 and c['RS232'][0, 0]['handshake'][0] == 'Xon/Xoff'
assert c['BBGtype'][0] == 'MEM-C'
a = d['appInfo'][0, 0]
assert a.dtype.names[:3] == ('Name', 'Platform', 'IsRelease') and a.dtype.names[-3:] == ('ClientWindows',
    'LastCaluclatedParameterSet', 'LastCalcTimeStamp')
assert a['Platform'][0] == 'c' and a['ParameterFileExtension'][0] == '.mat'
print('ok')
)";
  std::string cmd = "/usr/bin/python3 '" + path("check.py") + "' '" + path("d.mat") + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
}

TEST_F(Cli, DumpLoadsInOctave) {
  if (std::system("command -v octave >/dev/null 2>&1") != 0) GTEST_SKIP() << "no octave";
  ASSERT_EQ(run("dump parameters SigGenSettings configuration appInfo --out " + path("d.mat")).code, 0);
  std::string script =
      "load('" + path("d.mat") +
      "'); "
      "f = fieldnames(configuration)'; "
      "ok = isequal(f, {'faceless','type','GPIB','RS232','TCPIP','BBGtype','LastParameterFilename'}) "
      "&& parameters.totalLength == 1058 && parameters.SubCarriers(27) == 0 && numel(parameters.SubCarriers) == 53 "
      "&& strcmp(parameters.ParameterFileFormat_ID, 'dot11 - Format 1.0') "
      "&& parameters.MACheader.Contents.Address4.Size == 6 && strcmp(SigGenSettings.Title, 'WLan') "
      "&& isempty(appInfo.ClientWindows) && iscell(appInfo.ClientWindows) && strcmp(appInfo.Platform, 'c') "
      "&& numel(fieldnames(parameters)) == 48; "
      "exit(~ok);";
  std::string cmd = "octave --no-gui --norc --eval \"" + script + "\" >/dev/null 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
}

}  // namespace
}  // namespace tarvio

namespace tarvio {
namespace {

// Impairments set on the command line: the calculation says the phase
// noise's integrated error, the SigMF metadata records every impairment
// field, and a parameter file saved with them calculates the same samples.
TEST_F(Cli, ImpairmentsReachTheSamplesTheSigmfMetadataAndTheParameterFile) {
  const std::string set =
      " --set Impairments.SNR=25 --set Impairments.CFO=1e4 --set 'Impairments.PhaseNoise=[1e3 -80 1e5 -100]'"
      " --set Impairments.Seed=9";
  CliRun r = run("calc" + set + " --sigmf '" + path("a") + "' --save-params '" + path("p.mat") + "'");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("[note] Impairments.PhaseNoise: integrated phase error"), std::string::npos) << r.err;
  std::ifstream meta(path("a.sigmf-meta"));
  const nlohmann::json j = nlohmann::json::parse(meta);
  const nlohmann::json& imp = j.at("global").at("tarvio:impairments");
  EXPECT_EQ(imp.at("SNR"), 25);
  EXPECT_EQ(imp.at("CFO"), 1e4);
  EXPECT_EQ(imp.at("ClipPAPR"), "Inf");
  EXPECT_EQ(imp.at("DCOffset"), nlohmann::json::array({"-Inf", "-Inf"}));
  EXPECT_EQ(imp.at("PA").at("Saturation"), "Inf");
  EXPECT_EQ(j.at("global").at("core:extensions").at(0).at("name"), "tarvio");
  // The parameter file brings the impairments back: the same samples.
  r = run("calc '" + path("p.mat") + "' --sigmf '" + path("b") + "'");
  ASSERT_EQ(r.code, 0) << r.err;
  auto bytes = [](const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_TRUE(bytes(path("a.sigmf-data")) == bytes(path("b.sigmf-data")));
  // Without impairments the metadata holds none.
  r = run("calc --sigmf '" + path("c") + "'");
  ASSERT_EQ(r.code, 0) << r.err;
  std::ifstream plain(path("c.sigmf-meta"));
  EXPECT_FALSE(nlohmann::json::parse(plain).at("global").contains("tarvio:impairments"));
}

}  // namespace
}  // namespace tarvio
