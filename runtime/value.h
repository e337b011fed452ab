// The dynamic value held by records, operation arguments and MAT files: real
// or complex double matrices, text, 32-bit integer and logical matrices,
// records with ordered named fields, and lists. Matrices are column-major
// (rows x cols) like the files they come from; a row is 1 x N.
#pragma once

#include <complex>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/types.h"

namespace tarvio {

class Value;

// Record: named fields in insertion order. Order is part of the identity:
// two records with the same fields in another order compare as different.
class Record {
 public:
  bool has(const std::string& name) const { return find(name) != nullptr; }
  const Value* find(const std::string& name) const;
  Value* find(const std::string& name);
  // Field by name; throws std::runtime_error naming the field when absent.
  const Value& at(const std::string& name) const;
  Value& at(const std::string& name);
  // Sets a field, appending it at the end when it is new.
  void set(const std::string& name, Value v);
  bool erase(const std::string& name);
  size_t size() const;
  bool empty() const;
  const std::vector<std::pair<std::string, Value>>& fields() const { return fields_; }
  std::vector<std::pair<std::string, Value>>& fields() { return fields_; }

 private:
  std::vector<std::pair<std::string, Value>> fields_;
};

class Value {
 public:
  enum class Kind { Real, Complex, Text, Int32, Logical, Record, List };

  Value();          // empty real matrix (0 x 0)
  Value(double x);  // NOLINT: a real scalar converts implicitly
  Value(const char* s);
  Value(std::string s);
  Value(Record r);

  static Value scalar(double x) { return Value(x); }
  static Value empty() { return Value(); }
  static Value real(size_t rows, size_t cols, std::vector<double> data);
  static Value row(std::vector<double> data);
  static Value row(const Bits& bits);  // 0/1 doubles
  static Value complex(size_t rows, size_t cols, std::vector<cplx> data);
  static Value complex_row(std::vector<cplx> data);
  // From separate real and imaginary parts, as the value stores them: no
  // copy of a long row.
  static Value complex(size_t rows, size_t cols, std::vector<double> re, std::vector<double> im);
  static Value text(std::string s) { return Value(std::move(s)); }
  static Value int32(size_t rows, size_t cols, std::vector<int32_t> data);
  static Value int32_scalar(int32_t x) { return int32(1, 1, {x}); }
  static Value logical(size_t rows, size_t cols, std::vector<uint8_t> data);
  static Value logical_scalar(bool b) { return logical(1, 1, {uint8_t(b ? 1 : 0)}); }
  static Value list(std::vector<Value> items);
  static Value markers(const Markers& m);  // 2 x N real matrix

  Kind kind() const { return kind_; }
  bool is_numeric() const {
    return kind_ == Kind::Real || kind_ == Kind::Complex || kind_ == Kind::Int32 || kind_ == Kind::Logical;
  }
  bool is_text() const { return kind_ == Kind::Text; }
  bool is_record() const { return kind_ == Kind::Record; }
  bool is_list() const { return kind_ == Kind::List; }
  size_t rows() const { return rows_; }
  size_t cols() const { return cols_; }
  size_t numel() const { return rows_ * cols_; }
  bool is_empty() const { return numel() == 0; }

  // Numeric access; all throw std::runtime_error with a readable message
  // when the value is not of a fitting kind or shape.
  double to_double() const;              // a numeric scalar
  std::vector<double> to_reals() const;  // any real-valued numeric, column-major
  std::vector<cplx> to_complex() const;  // any numeric
  Bits to_bits() const;                  // 0/1 numeric (non-zero counts as 1)
  Markers to_markers() const;            // 2 x N numeric
  const std::string& str() const;        // text
  const Record& record() const;
  Record& record();
  const std::vector<Value>& list() const;
  std::vector<Value>& list();
  // Raw storage (column-major). re() holds the real part for Real, Complex,
  // Int32 and Logical values converted to double on construction.
  const std::vector<double>& re() const { return re_; }
  const std::vector<double>& im() const { return im_; }
  const std::vector<int32_t>& ints() const { return ints_; }
  const std::vector<uint8_t>& bools() const { return bools_; }

  // Structural equality: same kind, shape and contents; records compare
  // field by field in order.
  friend bool operator==(const Value& a, const Value& b);

  const char* kind_name() const;

 private:
  Kind kind_ = Kind::Real;
  size_t rows_ = 0, cols_ = 0;
  std::vector<double> re_, im_;
  std::vector<int32_t> ints_;
  std::vector<uint8_t> bools_;
  std::string text_;
  std::shared_ptr<Record> rec_;  // copy-on-write is not needed: copied on copy
  std::shared_ptr<std::vector<Value>> list_;

 public:
  Value(const Value& o);
  Value& operator=(const Value& o);
  Value(Value&&) noexcept = default;
  Value& operator=(Value&&) noexcept = default;
  ~Value() = default;
};

// Defined once Value is complete: the field list's members need it.
inline size_t Record::size() const { return fields_.size(); }
inline bool Record::empty() const { return fields_.empty(); }

// Readable multi-line rendering for the command line.
std::string to_display(const Value& v, const std::string& name = "");

}  // namespace tarvio
