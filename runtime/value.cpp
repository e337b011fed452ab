// Dynamic value: construction, checked access, equality and display.
#include "runtime/value.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace tarvio {

// ---- Record -------------------------------------------------------------

const Value* Record::find(const std::string& name) const {
  for (const auto& f : fields_)
    if (f.first == name) return &f.second;
  return nullptr;
}

Value* Record::find(const std::string& name) {
  for (auto& f : fields_)
    if (f.first == name) return &f.second;
  return nullptr;
}

const Value& Record::at(const std::string& name) const {
  if (const Value* v = find(name)) return *v;
  throw std::runtime_error("Reference to non-existent field '" + name + "'.");
}

Value& Record::at(const std::string& name) {
  if (Value* v = find(name)) return *v;
  throw std::runtime_error("Reference to non-existent field '" + name + "'.");
}

void Record::set(const std::string& name, Value v) {
  if (Value* old = find(name)) {
    *old = std::move(v);
    return;
  }
  fields_.emplace_back(name, std::move(v));
}

bool Record::erase(const std::string& name) {
  for (auto it = fields_.begin(); it != fields_.end(); ++it)
    if (it->first == name) {
      fields_.erase(it);
      return true;
    }
  return false;
}

// ---- Value construction -------------------------------------------------

Value::Value() = default;

Value::Value(double x) : rows_(1), cols_(1), re_{x} {}

Value::Value(const char* s) : Value(std::string(s)) {}

Value::Value(std::string s) : kind_(Kind::Text), rows_(s.empty() ? 0 : 1), cols_(s.size()), text_(std::move(s)) {}

Value::Value(Record r) : kind_(Kind::Record), rows_(1), cols_(1), rec_(std::make_shared<Record>(std::move(r))) {}

Value::Value(const Value& o)
    : kind_(o.kind_),
      rows_(o.rows_),
      cols_(o.cols_),
      re_(o.re_),
      im_(o.im_),
      ints_(o.ints_),
      bools_(o.bools_),
      text_(o.text_) {
  if (o.rec_) rec_ = std::make_shared<Record>(*o.rec_);
  if (o.list_) list_ = std::make_shared<std::vector<Value>>(*o.list_);
}

Value& Value::operator=(const Value& o) {
  if (this != &o) {
    Value tmp(o);
    *this = std::move(tmp);
  }
  return *this;
}

static void check_size(size_t rows, size_t cols, size_t n) {
  if (rows * cols != n)
    throw std::invalid_argument("matrix of " + std::to_string(rows) + " x " + std::to_string(cols) + " given " +
                                std::to_string(n) + " elements");
}

Value Value::real(size_t rows, size_t cols, std::vector<double> data) {
  check_size(rows, cols, data.size());
  Value v;
  v.rows_ = rows;
  v.cols_ = cols;
  v.re_ = std::move(data);
  return v;
}

Value Value::row(std::vector<double> data) {
  // An empty row is stored as 0 x 0, the shape an empty field has in files.
  size_t n = data.size();
  return real(n ? 1 : 0, n, std::move(data));
}

Value Value::row(const Bits& bits) { return row(std::vector<double>(bits.begin(), bits.end())); }

Value Value::complex(size_t rows, size_t cols, std::vector<cplx> data) {
  check_size(rows, cols, data.size());
  Value v;
  v.kind_ = Kind::Complex;
  v.rows_ = rows;
  v.cols_ = cols;
  v.re_.resize(data.size());
  v.im_.resize(data.size());
  for (size_t i = 0; i < data.size(); ++i) {
    v.re_[i] = data[i].real();
    v.im_[i] = data[i].imag();
  }
  return v;
}

Value Value::complex(size_t rows, size_t cols, std::vector<double> re, std::vector<double> im) {
  check_size(rows, cols, re.size());
  check_size(rows, cols, im.size());
  Value v;
  v.kind_ = Kind::Complex;
  v.rows_ = rows;
  v.cols_ = cols;
  v.re_ = std::move(re);
  v.im_ = std::move(im);
  return v;
}

Value Value::complex_row(std::vector<cplx> data) {
  size_t n = data.size();
  return complex(n ? 1 : 0, n, std::move(data));
}

Value Value::int32(size_t rows, size_t cols, std::vector<int32_t> data) {
  check_size(rows, cols, data.size());
  Value v;
  v.kind_ = Kind::Int32;
  v.rows_ = rows;
  v.cols_ = cols;
  v.re_.assign(data.begin(), data.end());
  v.ints_ = std::move(data);
  return v;
}

Value Value::logical(size_t rows, size_t cols, std::vector<uint8_t> data) {
  check_size(rows, cols, data.size());
  Value v;
  v.kind_ = Kind::Logical;
  v.rows_ = rows;
  v.cols_ = cols;
  for (auto& b : data) b = b ? 1 : 0;
  v.re_.assign(data.begin(), data.end());
  v.bools_ = std::move(data);
  return v;
}

Value Value::list(std::vector<Value> items) {
  Value v;
  v.kind_ = Kind::List;
  v.rows_ = items.empty() ? 0 : 1;
  v.cols_ = items.size();
  v.list_ = std::make_shared<std::vector<Value>>(std::move(items));
  return v;
}

Value Value::markers(const Markers& m) {
  size_t n = m.row1.size();
  if (m.row2.size() != n) throw std::invalid_argument("marker rows differ in length");
  std::vector<double> d(2 * n);
  for (size_t i = 0; i < n; ++i) {
    d[2 * i] = m.row1[i];
    d[2 * i + 1] = m.row2[i];
  }
  return real(n ? 2 : 0, n, std::move(d));
}

// ---- Checked access -----------------------------------------------------

const char* Value::kind_name() const {
  switch (kind_) {
    case Kind::Real:
      return "real matrix";
    case Kind::Complex:
      return "complex matrix";
    case Kind::Text:
      return "text";
    case Kind::Int32:
      return "int32 matrix";
    case Kind::Logical:
      return "logical matrix";
    case Kind::Record:
      return "record";
    case Kind::List:
      return "list";
  }
  return "value";
}

static std::runtime_error kind_error(const Value& v, const char* wanted) {
  return std::runtime_error(std::string("expected ") + wanted + ", got " + v.kind_name() + " (" +
                            std::to_string(v.rows()) + "x" + std::to_string(v.cols()) + ")");
}

double Value::to_double() const {
  if (!is_numeric() || numel() != 1) throw kind_error(*this, "a numeric scalar");
  return re_[0];
}

std::vector<double> Value::to_reals() const {
  if (!is_numeric()) throw kind_error(*this, "a numeric value");
  if (kind_ == Kind::Complex)
    for (double x : im_)
      if (x != 0) throw kind_error(*this, "a real value");
  return re_;
}

std::vector<cplx> Value::to_complex() const {
  if (!is_numeric()) throw kind_error(*this, "a numeric value");
  std::vector<cplx> out(re_.size());
  for (size_t i = 0; i < re_.size(); ++i) out[i] = cplx(re_[i], kind_ == Kind::Complex ? im_[i] : 0.0);
  return out;
}

Bits Value::to_bits() const {
  if (!is_numeric()) throw kind_error(*this, "a bit row");
  Bits b(re_.size());
  for (size_t i = 0; i < re_.size(); ++i) b[i] = re_[i] != 0 ? 1 : 0;
  return b;
}

Markers Value::to_markers() const {
  if (!is_numeric() || (rows_ != 2 && numel() != 0)) throw kind_error(*this, "two marker rows");
  Markers m;
  m.row1.resize(cols_);
  m.row2.resize(cols_);
  for (size_t c = 0; c < cols_ && rows_ == 2; ++c) {
    m.row1[c] = re_[2 * c] != 0;
    m.row2[c] = re_[2 * c + 1] != 0;
  }
  return m;
}

const std::string& Value::str() const {
  if (kind_ != Kind::Text) {
    // An empty numeric value stands for an empty text, as in files.
    static const std::string none;
    if (is_numeric() && is_empty()) return none;
    throw kind_error(*this, "text");
  }
  return text_;
}

const Record& Value::record() const {
  if (kind_ != Kind::Record) throw kind_error(*this, "a record");
  return *rec_;
}

Record& Value::record() {
  if (kind_ != Kind::Record) throw kind_error(*this, "a record");
  return *rec_;
}

const std::vector<Value>& Value::list() const {
  if (kind_ != Kind::List) throw kind_error(*this, "a list");
  return *list_;
}

std::vector<Value>& Value::list() {
  if (kind_ != Kind::List) throw kind_error(*this, "a list");
  return *list_;
}

bool operator==(const Value& a, const Value& b) {
  if (a.kind_ != b.kind_ || a.rows_ != b.rows_ || a.cols_ != b.cols_) return false;
  switch (a.kind_) {
    case Value::Kind::Real:
      return a.re_ == b.re_;
    case Value::Kind::Complex:
      return a.re_ == b.re_ && a.im_ == b.im_;
    case Value::Kind::Int32:
      return a.ints_ == b.ints_;
    case Value::Kind::Logical:
      return a.bools_ == b.bools_;
    case Value::Kind::Text:
      return a.text_ == b.text_;
    case Value::Kind::Record: {
      const auto& fa = a.rec_->fields();
      const auto& fb = b.rec_->fields();
      if (fa.size() != fb.size()) return false;
      for (size_t i = 0; i < fa.size(); ++i)
        if (fa[i].first != fb[i].first || !(fa[i].second == fb[i].second)) return false;
      return true;
    }
    case Value::Kind::List:
      return *a.list_ == *b.list_;
  }
  return false;
}

// ---- Display ------------------------------------------------------------

static std::string num(double x) {
  char buf[64];
  if (std::isfinite(x) && x == std::floor(x) && std::fabs(x) < 1e15)
    std::snprintf(buf, sizeof buf, "%.0f", x);
  else
    std::snprintf(buf, sizeof buf, "%.10g", x);
  return buf;
}

static void display(std::ostringstream& os, const Value& v, const std::string& name, int indent) {
  std::string pad(indent, ' ');
  std::string lead = pad + (name.empty() ? "" : name + " = ");
  switch (v.kind()) {
    case Value::Kind::Text:
      os << lead << '"' << v.str() << "\"\n";
      return;
    case Value::Kind::Record:
      os << lead << "record with " << v.record().size() << " fields\n";
      for (const auto& [n, f] : v.record().fields()) display(os, f, n, indent + 2);
      return;
    case Value::Kind::List:
      os << lead << "list of " << v.list().size() << "\n";
      for (size_t i = 0; i < v.list().size(); ++i)
        display(os, v.list()[i], "{" + std::to_string(i + 1) + "}", indent + 2);
      return;
    default:
      break;
  }
  if (v.is_empty()) {
    os << lead << "[]\n";
    return;
  }
  bool cx = v.kind() == Value::Kind::Complex;
  auto elem = [&](size_t i) {
    if (!cx) return num(v.re()[i]);
    double im = v.im()[i];
    return num(v.re()[i]) + (im < 0 || std::signbit(im) ? "-" : "+") + num(std::fabs(im)) + "i";
  };
  if (v.numel() == 1) {
    os << lead << elem(0) << "\n";
    return;
  }
  os << lead << "[" << v.rows() << "x" << v.cols()
     << (v.kind() == Value::Kind::Int32     ? " int32"
         : v.kind() == Value::Kind::Logical ? " logical"
                                            : "")
     << "]\n";
  for (size_t r = 0; r < v.rows(); ++r) {
    os << pad << "  ";
    for (size_t c = 0; c < v.cols(); ++c) os << (c ? " " : "") << elem(c * v.rows() + r);
    os << "\n";
  }
  // A bit row is also shown as one string, first bit first, for copying.
  bool bits = v.rows() == 1 && !cx;
  for (size_t i = 0; bits && i < v.numel(); ++i) bits = v.re()[i] == 0 || v.re()[i] == 1;
  if (bits) {
    os << pad << "  bits ";
    for (size_t i = 0; i < v.numel(); ++i) os << (v.re()[i] != 0 ? '1' : '0');
    os << "\n";
  }
}

std::string to_display(const Value& v, const std::string& name) {
  std::ostringstream os;
  display(os, v, name, 0);
  return os.str();
}

}  // namespace tarvio
