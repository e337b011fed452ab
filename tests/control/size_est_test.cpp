// Tests of the projected sample counts: the OFDM, DSSS/CCK/PBCC and ERP-PBCC
// packet estimates against hand-computed burst lengths, the whole-set
// estimate by format and packet count, and the registered operations.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "control/initialize.h"
#include "dsss/dot11b_size_est.h"
#include "dsss/dot11g_size_est.h"
#include "ofdm/dot11a_size_est.h"
#include "records/record_value.h"
#include "records/state.h"
#include "runtime/registry.h"

namespace tarvio {
namespace {

// Test names from the cases' descriptions.
template <class C>
std::string case_name(const ::testing::TestParamInfo<C>& tp) {
  std::string n = tp.param.what;
  for (char& ch : n)
    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return n;
}

Parameters defaults() {
  InitializeParameters();
  return state().parameters;
}

// ---- OFDM -----------------------------------------------------------------

struct OfdmCase {
  const char* what;
  double generationMode, modulation, encoderRate, dataLength, OverSampling, idleSamples;
  double expected;
};

class OfdmSizeEst : public ::testing::TestWithParam<OfdmCase> {};

TEST_P(OfdmSizeEst, CountsPreambleSymbolsAndIdle) {
  const OfdmCase& c = GetParam();
  Parameters p = defaults();  // 30-byte MAC header and 4-byte FCS active
  p.format = 1;
  p.generationMode = c.generationMode;
  p.modulation = c.modulation;
  p.encoderRate = c.encoderRate;
  p.dataLength = c.dataLength;
  p.OverSampling = c.OverSampling;
  p.idleSamples = c.idleSamples;
  EXPECT_EQ(Dot11a_SizeEst(p), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, OfdmSizeEst,
                         ::testing::Values(
                             // 6 Mbit/s, 100-octet packet: 822 bits, 35 symbols of 24 bits;
                             // (320 + 80 + 35*80) * 2 + 400 idle.
                             OfdmCase{"6 Mbit/s 100 octets", 1, 1, 0.5, 66, 2, 400, 6800},
                             // 54 Mbit/s, 1058 octets: 8486 bits / 216 -> 40 symbols, 180 us at 40 MHz.
                             OfdmCase{"54 Mbit/s 1058 octets", 1, 4, 0.75, 1024, 2, 400, 7600},
                             // Unframed: no header, FCS, preamble or idle; 800 bits / 24 -> 34 symbols.
                             OfdmCase{"unframed 6 Mbit/s", 0, 1, 0.5, 100, 2, 400, 34 * 80 * 2},
                             // 48 Mbit/s: 192 bits per symbol; 24 octets unframed fill one symbol exactly.
                             OfdmCase{"48 Mbit/s exact symbol", 0, 4, 2.0 / 3.0, 24, 1, 0, 80},
                             OfdmCase{"48 Mbit/s one bit over", 0, 4, 2.0 / 3.0, 25, 1, 0, 160},
                             // An odd count gets one pad sample: 3200 + 1 -> 3202.
                             OfdmCase{"odd count padded", 1, 1, 0.5, 66, 1, 1, 3202}),
                         case_name<OfdmCase>);

TEST(OfdmSizeEstInput, UnknownModulationIsRefused) {
  Parameters p = defaults();
  p.modulation = 5;
  EXPECT_THROW(Dot11a_SizeEst(p), std::invalid_argument);
  p.modulation = 2.5;
  EXPECT_THROW(Dot11a_SizeEst(p), std::invalid_argument);
}

// ---- DSSS / CCK / PBCC -----------------------------------------------------

struct DsssCase {
  const char* what;
  double G, N, rate, pbcc, enc, P, idle, rampType, rampLength, OS;
  double expected;
};

class DsssSizeEst : public ::testing::TestWithParam<DsssCase> {};

TEST_P(DsssSizeEst, CountsChipsRampsAndIdle) {
  const DsssCase& c = GetParam();
  EXPECT_EQ(Dot11b_SizeEst(c.G, c.N, c.rate, c.pbcc, c.enc, c.P, c.idle, c.rampType, c.rampLength, c.OS), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DsssSizeEst,
                         ::testing::Values(
                             // 1 Mbit/s, long preamble, 100 octets: (192 + 800) bits * 11 chips.
                             DsssCase{"1M long", 1, 800, 1, 0, 1, 0, 0, 0, 0, 1, 10912},
                             DsssCase{"1M long odd idle padded", 1, 800, 1, 0, 1, 0, 1, 0, 0, 1, 10914},
                             // Short preamble: 72 bits at 1 Mbit/s (792 chips), header at 2 Mbit/s (264).
                             DsssCase{"2M short", 1, 800, 2, 0, 1, 1, 0, 0, 0, 1, 792 + 264 + 4400},
                             DsssCase{"5.5M CCK", 1, 800, 5.5, 0, 1, 0, 0, 0, 0, 1, 2112 + 1600},
                             DsssCase{"5.5M PBCC", 1, 800, 5.5, 1, 1, 0, 0, 0, 0, 1, 2112 + 1600},
                             DsssCase{"11M CCK defaults", 1, 8464, 11, 0, 1, 0, 4400, 1, 88, 4,
                                      (2112 + 8464) * 4 + 176 + 4400},
                             DsssCase{"11M PBCC", 1, 800, 11, 1, 1, 0, 0, 0, 0, 1, 2112 + 800},
                             DsssCase{"11M PBCC uncoded", 1, 800, 11, 1, 0, 0, 0, 0, 0, 1, 2112 + 400},
                             // Two 44-sample ramps, rampType 2 counts like 1.
                             DsssCase{"raised-cosine ramp", 1, 800, 1, 0, 1, 0, 0, 2, 44, 4, 10912 * 4 + 88},
                             // Unframed: payload only, no ramp and no idle even when set.
                             DsssCase{"unframed", 0, 8, 1, 0, 1, 0, 100, 1, 44, 2, 176}),
                         case_name<DsssCase>);

TEST(DsssSizeEstInput, NonDsssRateIsRefused) {
  EXPECT_THROW(Dot11b_SizeEst(1, 800, 6, 0, 1, 0, 0, 0, 0, 1), std::invalid_argument);
}

// ---- ERP-PBCC --------------------------------------------------------------

class ErpSizeEst : public ::testing::TestWithParam<DsssCase> {};

TEST_P(ErpSizeEst, CountsBothClocks) {
  const DsssCase& c = GetParam();
  EXPECT_EQ(Dot11g_PBCC_SizeEst(c.G, c.N, c.rate, c.pbcc, c.enc, c.P, c.idle, c.rampType, c.rampLength, c.OS),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ErpSizeEst,
                         ::testing::Values(
                             // 22 Mbit/s, one octet coded: 8 bits -> 4 symbols after the 2112 chips.
                             DsssCase{"22M coded", 1, 8, 22, 1, 1, 0, 0, 0, 0, 1, 2116},
                             // Uncoded: 8 bits padded to 9, 3 symbols; 2115 is odd -> 2116.
                             DsssCase{"22M uncoded", 1, 8, 22, 1, 0, 0, 0, 0, 0, 1, 2116},
                             // 33 Mbit/s, OS 3: 2145 chips before the switch (6435 samples), the
                             // other 132 clock-switch chips and 4000 symbols at 2 samples; 14699 -> 14700.
                             DsssCase{"33M framed", 1, 8000, 33, 1, 1, 0, 0, 0, 0, 3, 14700},
                             // 132-sample ramps = 44 chips: 22 chips at each clock; 14819 -> 14820.
                             DsssCase{"33M with ramp", 1, 8000, 33, 1, 1, 0, 10, 1, 66, 3,
                                      (2145 + 22) * 3 + (132 + 4000 + 22) * 2 + 10 + 1},
                             // Unframed at 33 Mbit/s: payload only, at the post-switch clock.
                             DsssCase{"33M unframed", 0, 8000, 33, 1, 1, 0, 10, 0, 0, 3, 8000},
                             DsssCase{"other rate", 1, 800, 11, 1, 1, 0, 0, 0, 0, 1, 0}),
                         case_name<DsssCase>);

// ---- Whole parameter set ---------------------------------------------------

TEST(WholeSetSizeEst, DispatchesByFormatAndCountsEveryPacket) {
  Parameters p = defaults();
  EXPECT_EQ(Dot11g_SizeEst(p), 46880);
  p.numberOfPackets = 3;
  EXPECT_EQ(Dot11g_SizeEst(p), 3 * 46880);
  p.format = 1;
  p.modulation = 4;
  p.encoderRate = 0.75;
  p.OverSampling = 2;
  p.idleSamples = 400;
  EXPECT_EQ(Dot11g_SizeEst(p), 3 * 7600);
  p.format = 3;
  p.dataRate = 22;
  p.highRateMod = 1;
  p.OverSampling = 1;
  p.rampType = 0;
  p.idleSamples = 0;
  // 1058 octets coded at 22 Mbit/s: 4232 symbols after 2112 chips.
  EXPECT_EQ(Dot11g_SizeEst(p), 3 * (2112 + 4232));
  p.format = 4;
  EXPECT_THROW(Dot11g_SizeEst(p), std::invalid_argument);
}

TEST(SizeEstOperations, RegisteredWithTheirCountsAndResults) {
  Parameters p = defaults();
  Registry& r = Registry::instance();
  EXPECT_EQ(r.call("Dot11g_SizeEst", {to_value(p)})[0].to_double(), 46880);
  p.format = 1;
  p.OverSampling = 2;
  p.idleSamples = 400;
  EXPECT_EQ(r.call("Dot11a_SizeEst", {to_value(p)})[0].to_double(), 7600);
  Args ten{1.0, 800.0, 1.0, 0.0, 1.0, 0.0, 1.0, 0.0, 0.0, 1.0};
  EXPECT_EQ(r.call("Dot11b_SizeEst", ten)[0].to_double(), 10914);
  Args erp{1.0, 8.0, 22.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0};
  EXPECT_EQ(r.call("Dot11g_PBCC_SizeEst", erp)[0].to_double(), 2116);
  for (const char* name : {"Dot11a_SizeEst", "Dot11g_SizeEst"}) {
    EXPECT_EQ(r.find(name)->max_in, 1);
    EXPECT_EQ(r.find(name)->max_out, 1);
  }
  for (const char* name : {"Dot11b_SizeEst", "Dot11g_PBCC_SizeEst"}) {
    EXPECT_EQ(r.find(name)->max_in, 10);
    EXPECT_EQ(r.find(name)->max_out, 1);
    EXPECT_THROW(r.call(name, Args(9, Value(1.0))), std::runtime_error);  // all ten are required
  }
}

TEST(SizeEstOperations, IncompleteRecordNamesTheMissingField) {
  Value v = to_value(defaults());
  v.record().erase("OverSampling");
  try {
    Registry::instance().call("Dot11g_SizeEst", {v});
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("OverSampling"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace tarvio
