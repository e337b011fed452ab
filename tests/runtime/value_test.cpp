// Tests of the dynamic Value and Record: kinds and shapes as built, equality
// (field order included), deep copies, and the checked-access errors.
#include "runtime/value.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace tarvio {
namespace {

Value rowv(std::vector<double> d) { return Value::row(std::move(d)); }

TEST(ValueShape, EachConstructorGivesItsKindAndShape) {
  struct Case {
    Value v;
    Value::Kind kind;
    size_t rows, cols;
  };
  const Case cases[] = {
      {Value(), Value::Kind::Real, 0, 0},
      {Value(2.5), Value::Kind::Real, 1, 1},
      {rowv({1, 2, 3}), Value::Kind::Real, 1, 3},
      {Value::row(std::vector<double>{}), Value::Kind::Real, 0, 0},
      {Value::real(2, 3, std::vector<double>(6, 0.0)), Value::Kind::Real, 2, 3},
      {Value::complex_row({cplx(1, 2), cplx(3, -4)}), Value::Kind::Complex, 1, 2},
      {Value::complex(2, 1, {1, 3}, {2, -4}), Value::Kind::Complex, 2, 1},
      {Value("abc"), Value::Kind::Text, 1, 3},
      {Value(""), Value::Kind::Text, 0, 0},
      {Value::int32(1, 2, {7, -8}), Value::Kind::Int32, 1, 2},
      {Value::logical(2, 1, {1, 0}), Value::Kind::Logical, 2, 1},
      {Value(Record()), Value::Kind::Record, 1, 1},
      {Value::list({Value(1.0), Value("x")}), Value::Kind::List, 1, 2},
      {Value::list({}), Value::Kind::List, 0, 0},
      {Value::markers(Markers{{1, 0, 0}, {1, 1, 0}}), Value::Kind::Real, 2, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(to_display(c.v));
    EXPECT_EQ(c.v.kind(), c.kind);
    EXPECT_EQ(c.v.rows(), c.rows);
    EXPECT_EQ(c.v.cols(), c.cols);
  }
}

TEST(ValueShape, MatrixSizeMismatchIsRefused) {
  EXPECT_THROW(Value::real(2, 2, {1, 2, 3}), std::invalid_argument);
  EXPECT_THROW(Value::int32(1, 3, {1}), std::invalid_argument);
  EXPECT_THROW(Value::complex(1, 2, {1, 2}, {1}), std::invalid_argument);
  EXPECT_THROW(Value::markers(Markers{{1, 0}, {1}}), std::invalid_argument);
}

TEST(ValueAccess, MatrixDataIsColumnMajor) {
  // [1 2 3; 4 5 6] stored by columns.
  Value m = Value::real(2, 3, {1, 4, 2, 5, 3, 6});
  EXPECT_EQ(to_display(m), "[2x3]\n  1 2 3\n  4 5 6\n");
  Markers mk = Value::markers(Markers{{1, 0, 1}, {0, 1, 1}}).to_markers();
  EXPECT_EQ(mk.row1, (std::vector<uint8_t>{1, 0, 1}));
  EXPECT_EQ(mk.row2, (std::vector<uint8_t>{0, 1, 1}));
}

TEST(ValueAccess, ConversionsBetweenNumericKinds) {
  EXPECT_EQ(Value::int32_scalar(-7).to_double(), -7.0);
  EXPECT_EQ(Value::logical(1, 3, {1, 0, 5}).to_reals(), (std::vector<double>{1, 0, 1}));
  EXPECT_EQ(rowv({0, 2, -1}).to_bits(), (Bits{0, 1, 1}));
  EXPECT_EQ(Value::complex_row({cplx(3, 0)}).to_reals(), std::vector<double>{3});
  EXPECT_EQ(rowv({1, 2}).to_complex(), (std::vector<cplx>{cplx(1, 0), cplx(2, 0)}));
  EXPECT_EQ(Value().str(), "");  // the empty matrix stands for an empty text
}

TEST(ValueAccess, WrongKindOrShapeThrowsNamingBoth) {
  auto message = [](auto&& f) {
    try {
      f();
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([] { rowv({1, 2}).to_double(); }), "expected a numeric scalar, got real matrix (1x2)");
  EXPECT_EQ(message([] { Value("a").to_double(); }), "expected a numeric scalar, got text (1x1)");
  EXPECT_EQ(message([] { Value(1.0).str(); }), "expected text, got real matrix (1x1)");
  EXPECT_EQ(message([] { Value::complex_row({cplx(1, 1)}).to_reals(); }),
            "expected a real value, got complex matrix (1x1)");
  EXPECT_EQ(message([] { Value(1.0).record(); }), "expected a record, got real matrix (1x1)");
  EXPECT_EQ(message([] { Value("x").list(); }), "expected a list, got text (1x1)");
  EXPECT_EQ(message([] { rowv({1, 2, 3}).to_markers(); }), "expected two marker rows, got real matrix (1x3)");
}

TEST(RecordFields, SetKeepsOrderAndReplacesInPlace) {
  Record r;
  r.set("b", 1.0);
  r.set("a", 2.0);
  r.set("b", 3.0);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r.fields()[0].first, "b");
  EXPECT_EQ(r.at("b").to_double(), 3.0);
  EXPECT_TRUE(r.erase("b"));
  EXPECT_FALSE(r.erase("b"));
  EXPECT_EQ(r.fields()[0].first, "a");
}

TEST(RecordFields, MissingFieldNamesTheField) {
  Record r;
  r.set("present", 1.0);
  try {
    r.at("absent");
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("'absent'"), std::string::npos) << e.what();
  }
  EXPECT_EQ(r.find("absent"), nullptr);
}

TEST(ValueEquality, FieldOrderKindAndShapeMatter) {
  Record ab, ba;
  ab.set("a", 1.0);
  ab.set("b", "x");
  ba.set("b", "x");
  ba.set("a", 1.0);
  EXPECT_EQ(Value(ab), Value(ab));
  EXPECT_NE(Value(ab), Value(ba));
  EXPECT_NE(rowv({1, 2}), Value::real(2, 1, {1, 2}));
  EXPECT_NE(Value(1.0), Value::int32_scalar(1));
  EXPECT_NE(Value(1.0), Value::logical_scalar(true));
  EXPECT_NE(Value::complex_row({cplx(1, 0)}), Value(1.0));
  // Separate parts make the same value as interleaved samples.
  EXPECT_EQ(Value::complex(1, 2, {1, 3}, {2, -4}), Value::complex_row({cplx(1, 2), cplx(3, -4)}));
  EXPECT_NE(Value::list({Value(1.0)}), Value::list({Value(2.0)}));
  Record nested_a, nested_b;
  nested_a.set("inner", Value(ab));
  nested_b.set("inner", Value(ba));
  EXPECT_NE(Value(nested_a), Value(nested_b));
}

TEST(ValueCopy, CopiesAreDeep) {
  Record r;
  r.set("x", 1.0);
  Value a(r);
  Value b = a;
  b.record().set("x", 2.0);
  EXPECT_EQ(a.record().at("x").to_double(), 1.0);
  Value la = Value::list({Value(1.0)});
  Value lb = la;
  lb.list()[0] = Value(5.0);
  EXPECT_EQ(la.list()[0].to_double(), 1.0);
}

}  // namespace
}  // namespace tarvio
