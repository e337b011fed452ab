// tarvio-cli against values no generator can make: refused with the field,
// its value and the values it takes, whether set on the command line or
// stored in a parameter file; and what the generators make beyond the
// window's entries still goes through.
#include <gtest/gtest.h>

#include "control/initialize.h"
#include "hosts/cli_run.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/matfile.h"

using namespace tarvio;
using namespace tarvio::testing;

namespace {

TEST(CliLimits, SetRefusesValuesNoGeneratorCanMake) {
  struct Case {
    std::vector<std::string> args;
    const char* in_err;
  } cases[] = {
      {{"--set", "numberOfPackets=NaN"}, "parameters.numberOfPackets = NaN"},
      {{"--set", "numberOfPackets=-2"}, "whole number 1 to 64000000"},
      {{"--set", "numberOfPackets=2.5"}, "not a whole number"},
      {{"--set", "numberOfPackets=1e9"}, "parameters.numberOfPackets = 1000000000"},
      {{"--set", "dataSourceType=9"}, "5 = PN9"},
      {{"--set", "FilterType=7"}, "2 = root raised cosine"},
      {{"--rate", "54", "--set", "dataLength=5000"}, "maxDataLen is 4061"},
      {{"--rate", "1", "--set", "dataLength=9000"}, "maxDataLen is 2312"},
      {{"--set", "totalLength=5"}, "parameters.totalLength is computed"},
      {{"--set", "Fading.delay=[1 2]"}, "parameters.Fading.delay holds 2 values, not 12"},
      {{"--set", "Fading.state=[1 0 1]"}, "parameters.Fading.state holds 3 values, not 12"},
      {{"--set", "FilterTaps=1e9"},
       "parameters.FilterTaps = 1e9 is not allowed (a filter of 4000000000 taps cannot be designed; the usable range "
       "is 0 to 1000000000 taps); FilterTaps takes above 0 and at most 250000000 symbols at OverSampling 4"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"calc"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult r = run_cli(args);
    EXPECT_EQ(r.code, 2) << c.args.back() << "\n" << r.err;
    EXPECT_TRUE(has(r.err, c.in_err)) << c.args.back() << "\n" << r.err;
  }
}

TEST(CliLimits, GeneratorsMakeWhatTheWindowCannotEnter) {
  const std::vector<std::string> cases[] = {
      {"--rate", "54", "--set", "OverSampling=1"},
      {"--set", "OverSampling=1.5"},
      {"--set", "OverSampling=2.5", "--set", "idleSamples=12345"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"calc", "--set", "dataLength=100"};
    args.insert(args.end(), c.begin(), c.end());
    const CliResult r = run_cli(args);
    EXPECT_EQ(r.code, 0) << c.back() << "\n" << r.err;
  }
}

// --rate applies the data-rate list's payload limit as the window does, and
// says so.
TEST(CliLimits, RateHoldsThePayloadWithinTheNewLimitAndSaysSo) {
  const CliResult r = run_cli({"calc", "--rate", "54", "--set", "dataLength=4000", "--rate", "11"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.err, "[note] --rate 11: dataLength 4000 is held at 2312 (maxDataLen)")) << r.err;
}

// A parameter file edited elsewhere: its stored derived fields do not hide
// the real size, and impossible values are refused with the field's range.
TEST(CliLimits, ParameterFilesAreCheckedAndTheirSizeRecomputed) {
  TempDir dir;
  InitializeAll();
  Parameters p = state().parameters;
  p.numberOfPackets = 22;  // 22 x 46880 samples: the long-calculation warning
  p.incrSeqCtrl = 0;       // copies of one packet: quick
  const auto save = [&](const Parameters& q) {
    mat_write(dir / "p.mat", {{"fileParameters", to_value(q)},
                              {"filename", Value("p.mat")},
                              {"sigGenParameters", to_value(state().sigGenSettings)}});
  };
  save(p);  // ProjectedLength still holds one packet's 46880 samples
  CliResult r = run_cli({"calc", dir / "p.mat"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.err, "1031360 samples")) << r.err;

  p.numberOfPackets = 1e9;
  save(p);
  r = run_cli({"calc", dir / "p.mat"});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(has(r.err, "fileParameters.numberOfPackets = 1000000000")) << r.err;
  EXPECT_TRUE(has(r.err, "1 to 64000000")) << r.err;
}

}  // namespace
