// The rules of the field descriptions and the checking of stored values:
// what each kind of rule accepts and refuses, and the refusal naming the
// field, the value and the values the field takes.
#include "records/field_catalog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "records/defaults.h"

namespace tarvio {
namespace {

TEST(FieldRules, AcceptAndRefuse) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Case {
    FieldRule rule;
    double x;
    bool ok;
  } cases[] = {
      {whole(1, 10), 1, true},
      {whole(1, 10), 10, true},
      {whole(1, 10), 0, false},
      {whole(1, 10), 2.5, false},
      {whole(1, 10), nan, false},
      {whole(0), inf, false},
      {above(0), 0, false},
      {above(0), 1e-9, true},
      {range(1, 100), 100.5, false},
      {multiple_of(0.5, 0.5, 9), 1.5, true},
      {multiple_of(0.5, 0.5, 9), 1.25, false},
      {codes({0.5, 2.0 / 3.0}), 0.666666666666667, true},  // 2/3 as typed
      {codes({1, 2, 3}), 4, false},
      {flag(), 1, true},
      {flag(), 0.5, false},
      {finite(), -1e300, true},
      {finite(), nan, false},
      {FieldRule{}, nan, true},
  };
  for (const Case& c : cases) EXPECT_EQ(!rule_violation(c.rule, c.x).has_value(), c.ok) << c.x;
  EXPECT_FALSE(rule_violation(texts("GPIB|RS232|TCPIP", true), std::string("tcpip")).has_value());
  EXPECT_TRUE(rule_violation(texts("MEM-A|MEM-B|MEM-C"), std::string("mem-c")).has_value());
  EXPECT_TRUE(rule_violation(texts("MEM-A|MEM-B|MEM-C"), std::string("MEM-")).has_value());
}

TEST(FieldCheck, RefusalNamesFieldValueAndValues) {
  Configuration c = DefaultConfiguration();
  c.GPIB.primary = 31;
  try {
    check_fields(c, "configuration");
    ADD_FAILURE() << "accepted";
  } catch (const FieldError& e) {
    EXPECT_STREQ(e.what(),
                 "configuration.GPIB.primary = 31 is not allowed (it is above the range); it takes whole number 0 "
                 "to 30");
  }
  Parameters p = DefaultParameters();
  p.Fading.state[3] = 2;
  EXPECT_THROW(check_field(p, "Fading", "parameters"), FieldError);
  EXPECT_NO_THROW(check_field(p, "dataLength", "parameters"));  // only the field named
  p.SubCarriers.resize(50);
  try {
    check_fields(p, "parameters");
    ADD_FAILURE() << "accepted";
  } catch (const FieldError& e) {
    EXPECT_NE(std::string(e.what()).find("parameters.SubCarriers holds 50 values, not 53"), std::string::npos)
        << e.what();
  }
}

TEST(FieldCatalog, DottedNamesInFieldListOrder) {
  const auto cat = field_catalog(DefaultParameters());
  ASSERT_FALSE(cat.empty());
  EXPECT_EQ(cat.front().path, "ParameterFileFormat_ID");
  EXPECT_EQ(cat.back().path, "faceless");
  const auto a1 = find_field(DefaultParameters(), "MACheader.Contents.Address1.Size");
  ASSERT_TRUE(a1.has_value());
  EXPECT_EQ(a1->value, Value(6.0));
  EXPECT_STREQ(a1->info.unit, "bytes");
  const auto header = find_field(DefaultParameters(), "MACheader");
  ASSERT_TRUE(header.has_value());
  EXPECT_TRUE(header->is_record);
  EXPECT_TRUE(find_field(DefaultParameters(), "totalLength")->info.derived);
  EXPECT_FALSE(find_field(DefaultParameters(), "NoSuchField").has_value());
}

}  // namespace
}  // namespace tarvio
