// The parameter set against what the generators can make: values refused
// with the field's name and the values it takes, values the window cannot
// enter but the generators make, derived fields recomputed from the stored
// ones, and parameter files edited elsewhere.
#include "control/parameter_checks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>

#include "control/initialize.h"
#include "control/param_set_ops.h"
#include "control/parameter_files.h"
#include "records/field_catalog.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/matfile.h"
#include "runtime/report.h"

namespace tarvio {
namespace {

namespace fs = std::filesystem;

Parameters defaults() {
  InitializeAll();
  return state().parameters;
}

Parameters at_rate(double rate) {
  Parameters p = defaults();
  UpdateDataRate(p, state().sigGenSettings, data_rate_position(rate), 1, 0.0);
  return p;
}

struct Refused {
  const char* what;
  std::function<void(Parameters&)> change;
  const char* field;      // named in the message
  const char* in_values;  // part of the values the field takes
};

TEST(ParameterChecks, ImpossibleValuesAreRefusedWithFieldAndRange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Refused cases[] = {
      {"NaN packets", [&](Parameters& p) { p.numberOfPackets = nan; }, "parameters.numberOfPackets", "1 to 64000000"},
      {"negative packets", [](Parameters& p) { p.numberOfPackets = -3; }, "parameters.numberOfPackets", "1 to"},
      {"fractional packets", [](Parameters& p) { p.numberOfPackets = 2.5; }, "parameters.numberOfPackets", "whole"},
      {"packets above any memory", [](Parameters& p) { p.numberOfPackets = 1e9; }, "parameters.numberOfPackets",
       "64000000"},
      {"format 4", [](Parameters& p) { p.format = 4; }, "parameters.format", "3 = 802.11g ERP-PBCC"},
      {"source 8", [](Parameters& p) { p.dataSourceType = 8; }, "parameters.dataSourceType", "5 = PN9"},
      {"OFDM rate in format 2", [](Parameters& p) { p.dataRate = 54; }, "parameters.dataRate", "1, 2, 5.5 or 11"},
      {"OFDM oversampling 1.5",
       [](Parameters& p) { p.format = 1, p.dataRate = 54, p.preambleType = 2, p.OverSampling = 1.5; },
       "parameters.OverSampling", "whole number"},
      {"33 Mbit/s oversampling 2", [](Parameters& p) { p.format = 3, p.dataRate = 33, p.OverSampling = 2; },
       "parameters.OverSampling", "1.5"},
      {"DSSS oversampling 1.25", [](Parameters& p) { p.OverSampling = 1.25; }, "parameters.OverSampling", "0.5"},
      {"MAC address wider than 6 bytes", [](Parameters& p) { p.MACheader.Contents.Address1.Contents = 0x1p48; },
       "parameters.MACheader.Contents.Address1.Contents", "2^(8 x Size)"},
      {"52 sub-carriers", [](Parameters& p) { p.SubCarriers.pop_back(); }, "parameters.SubCarriers", "53"},
      {"fractional OFDM idle interval", [](Parameters& p) { p = at_rate(6), p.idleSamples = 100.5; },
       "parameters.idleSamples", "whole for format 1"},
      {"PN9 of 0 bytes", [](Parameters& p) { p.dataSourceType = 5, p.dataLength = 0; }, "parameters.dataLength",
       "at least 1"},
      {"no filter at oversampling 1.5", [](Parameters& p) { p.FilterType = 0, p.OverSampling = 1.5; },
       "parameters.FilterType", "whole number"},
  };
  for (const Refused& c : cases) {
    Parameters p = defaults();
    c.change(p);
    try {
      check_and_derive(p);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const FieldError& e) {
      const std::string m = e.what();
      EXPECT_NE(m.find(c.field), std::string::npos) << c.what << ": " << m;
      EXPECT_NE(m.find(c.in_values), std::string::npos) << c.what << ": " << m;
    }
  }
}

// The payload limit: the 12-bit OFDM LENGTH less header and FCS, 2312 bytes
// otherwise (a 9000-byte payload at 1 Mbit/s needs more than the 16-bit
// DSSS LENGTH field).
TEST(ParameterChecks, PayloadAboveMaxDataLenIsRefusedWithTheLimit) {
  struct Case {
    double rate, length;
    const char* limit;
  } cases[] = {{54, 5000, "4061"}, {54, 4062, "4061"}, {1, 9000, "2312"}, {11, 2313, "2312"}};
  for (const Case& c : cases) {
    Parameters p = at_rate(c.rate);
    p.dataLength = c.length;
    try {
      check_and_derive(p);
      ADD_FAILURE() << c.rate << " Mbit/s, " << c.length << " bytes: accepted";
    } catch (const FieldError& e) {
      EXPECT_NE(std::string(e.what()).find("parameters.dataLength = " + std::to_string(int(c.length))),
                std::string::npos)
          << e.what();
      EXPECT_NE(std::string(e.what()).find(c.limit), std::string::npos) << e.what();
    }
  }
  Parameters p = at_rate(54);
  p.dataLength = 4061;
  EXPECT_NO_THROW(check_and_derive(p));
  EXPECT_EQ(p.maxDataLen, 4061);
}

// What the window cannot enter and the generators make stays allowed.
TEST(ParameterChecks, ValuesBeyondTheWindowsEntriesAreKept) {
  const std::function<void(Parameters&)> cases[] = {
      [](Parameters& p) { p = at_rate(54), p.OverSampling = 1; },
      [](Parameters& p) { p.OverSampling = 1.5; },
      [](Parameters& p) { p.OverSampling = 2.5; },
      [](Parameters& p) { p.OverSampling = 12; },
      [](Parameters& p) { p.idleSamples = 123457; },
      [](Parameters& p) { p.idleSamples = 100.5; },  // DSSS rounds it
      [](Parameters& p) { p.numberOfPackets = 5000; },
      [](Parameters& p) { p.seqCtrlFreq = 40; },
      [](Parameters& p) { p.FilterFactor = 0.01; },
      [](Parameters& p) { p = at_rate(33), p.OverSampling = 4.5; },
      [](Parameters& p) { p = at_rate(6), p.WindowingLength = 30; },
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    Parameters p = defaults();
    cases[i](p);
    const Parameters before = p;
    EXPECT_NO_THROW(check_and_derive(p)) << "case " << i;
    EXPECT_EQ(p.OverSampling, before.OverSampling);
    EXPECT_EQ(p.idleSamples, before.idleSamples);
  }
}

TEST(ParameterChecks, DerivedFieldsFollowTheStoredValues) {
  Parameters p = at_rate(54);
  p.numberOfPackets = 1000;
  p.dataLength = 100;
  p.MACfcs.Active = 0;
  p.totalLength = 1, p.ProjectedLength = 1, p.maxDataLen = 1;  // stale, as in a file edited elsewhere
  recompute_derived(p);
  EXPECT_EQ(p.totalLength, 130);
  EXPECT_EQ(p.maxDataLen, 4065);
  Parameters one = p;
  one.numberOfPackets = 1;
  recompute_derived(one);
  EXPECT_EQ(p.ProjectedLength, 1000 * one.ProjectedLength);
}

class EditedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tarvio-checks-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    InitializeAll();
    rec = std::make_shared<RecordingReporter>();
    old = set_reporter(rec);
  }
  void TearDown() override {
    set_reporter(old);
    fs::remove_all(dir);
  }
  std::string save(const Parameters& p) {
    const std::string f = (dir / "edited.mat").string();
    mat_write(f, {{"fileParameters", to_value(p)},
                  {"filename", Value(f)},
                  {"sigGenParameters", to_value(state().sigGenSettings)}});
    return f;
  }
  fs::path dir;
  std::shared_ptr<RecordingReporter> rec;
  std::shared_ptr<Reporter> old;
};

// A file holding a value no generator can make is refused with the field
// and its range; the stored ProjectedLength does not hide it.
TEST_F(EditedFiles, ImpossibleValuesAreRefusedOnLoad) {
  struct Case {
    std::function<void(Parameters&)> change;
    const char* in_message;
  } cases[] = {
      {[](Parameters& p) { p.numberOfPackets = 1e9; }, "fileParameters.numberOfPackets = 1000000000"},
      {[](Parameters& p) { p.numberOfPackets = -1; }, "fileParameters.numberOfPackets = -1"},
      {[](Parameters& p) { p = at_rate(54), p.dataLength = 5000; }, "maxDataLen is 4061"},
      {[](Parameters& p) { p.OverSampling = std::nan(""); }, "fileParameters.OverSampling = NaN"},
  };
  for (const Case& c : cases) {
    Parameters p = state().parameters;
    c.change(p);
    const std::string f = save(p);
    rec->messages.clear();
    const Value before = to_value(state().parameters);
    EXPECT_FALSE(LoadParameters(f));
    ASSERT_EQ(rec->messages.size(), 1u);
    EXPECT_EQ(rec->messages[0].title, "Error Loading File");
    EXPECT_NE(rec->messages[0].text.find(c.in_message), std::string::npos) << rec->messages[0].text;
    EXPECT_TRUE(to_value(state().parameters) == before);
  }
}

}  // namespace
}  // namespace tarvio
