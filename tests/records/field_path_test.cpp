// Setting record fields by dotted name: nested fields, rows, and refusals
// that name the field and leave the record unchanged.
#include "records/field_path.h"

#include <gtest/gtest.h>

namespace tarvio {
namespace {

TEST(FieldPath, SetsNestedFieldsAndRows) {
  Parameters p;
  set_field(p, "MACheader.Contents.Address1.Contents", Value(20015998343868.0), "parameters");
  EXPECT_EQ(p.MACheader.Contents.Address1.Contents, 20015998343868.0);
  set_field(p, "Fading.delay", Value::row(std::vector<double>{0.1, 0.2, 0.3}), "parameters");
  EXPECT_EQ(p.Fading.delay, (std::vector<double>{0.1, 0.2, 0.3}));
  set_field(p, "OverSampling", Value(1.5), "parameters");
  EXPECT_EQ(p.OverSampling, 1.5);
  set_field(p, "multiFrame.tmpFileName", Value("/tmp/x.bin"), "parameters");
  EXPECT_EQ(p.multiFrame.tmpFileName, "/tmp/x.bin");
  SigGenSettings sg;
  set_field(sg, "SamplingRate", Value(1e6), "SigGenSettings");
  ASSERT_TRUE(sg.SamplingRate.has_value());
  EXPECT_EQ(*sg.SamplingRate, 1e6);
}

TEST(FieldPath, RefusalsNameTheFieldAndChangeNothing) {
  struct Case {
    std::string path;
    Value value;
    std::string named;
  };
  const Case cases[] = {
      {"Foo", Value(1.0), "parameters.Foo"},
      {"MACheader.Contents.Address9.Contents", Value(1.0), "parameters.MACheader.Contents.Address9"},
      {"OverSampling", Value("four"), "parameters.OverSampling"},
      {"OverSampling", Value::row(std::vector<double>{1, 2}), "parameters.OverSampling"},
      {"dataRate.x", Value(1.0), "parameters.dataRate"},
      {"dataSourceName", Value(3.0), "parameters.dataSourceName"},
      {"SubCarriers", Value::real(2, 2, {1, 1, 1, 1}), "parameters.SubCarriers"},
      {"a..b", Value(1.0), "a..b"},
  };
  for (const Case& c : cases) {
    Parameters p;
    p.OverSampling = 4;
    try {
      set_field(p, c.path, c.value, "parameters");
      ADD_FAILURE() << c.path << " was accepted";
    } catch (const FieldError& e) {
      EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
    }
    EXPECT_EQ(p.OverSampling, 4);
  }
}

}  // namespace
}  // namespace tarvio
