// The argument-array interface shared by the library and the export plug-in:
// array storage, access, and the error escape that unwinds from a plug-in
// back to mx_call().
#include "mxarray.h"

#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

struct mxArray {
  mx_class cls = MX_DOUBLE;
  size_t rows = 0, cols = 0;
  bool complex = false;
  std::vector<double> re, im;
  std::vector<int32_t> ints;
  std::string text;
  std::vector<std::pair<std::string, std::unique_ptr<mxArray>>> fields;  // a record's
  std::vector<std::unique_ptr<mxArray>> cells;                           // a list's
};

namespace {

// Thrown by mx_raise and caught only by mx_call; never visible outside.
struct RaisedError {
  std::string message;
};

void copy_message(const std::string& msg, char* err, size_t errlen) {
  if (err == nullptr || errlen == 0) return;
  const size_t n = msg.size() < errlen - 1 ? msg.size() : errlen - 1;
  std::memcpy(err, msg.data(), n);
  err[n] = '\0';
}

std::unique_ptr<mxArray> copy_of(const mxArray& a) {
  auto c = std::make_unique<mxArray>();
  c->cls = a.cls;
  c->rows = a.rows;
  c->cols = a.cols;
  c->complex = a.complex;
  c->re = a.re;
  c->im = a.im;
  c->ints = a.ints;
  c->text = a.text;
  for (const auto& [name, v] : a.fields) c->fields.emplace_back(name, copy_of(*v));
  for (const auto& v : a.cells) c->cells.push_back(copy_of(*v));
  return c;
}

}  // namespace

extern "C" {

mxArray* mx_create_double(size_t rows, size_t cols, int complex_flag) {
  auto* a = new (std::nothrow) mxArray;
  if (a == nullptr) return nullptr;
  try {
    a->cls = MX_DOUBLE;
    a->rows = rows;
    a->cols = cols;
    a->complex = complex_flag != 0;
    a->re.assign(rows * cols, 0.0);
    if (a->complex) a->im.assign(rows * cols, 0.0);
  } catch (const std::bad_alloc&) {
    delete a;
    return nullptr;
  }
  return a;
}

mxArray* mx_create_scalar(double x) {
  mxArray* a = mx_create_double(1, 1, 0);
  if (a != nullptr) a->re[0] = x;
  return a;
}

mxArray* mx_create_text(const char* text) {
  auto* a = new (std::nothrow) mxArray;
  if (a == nullptr) return nullptr;
  try {
    a->cls = MX_CHAR;
    a->text = text != nullptr ? text : "";
    a->rows = a->text.empty() ? 0 : 1;
    a->cols = a->text.size();
  } catch (const std::bad_alloc&) {
    delete a;
    return nullptr;
  }
  return a;
}

mxArray* mx_create_int32(size_t rows, size_t cols) {
  auto* a = new (std::nothrow) mxArray;
  if (a == nullptr) return nullptr;
  try {
    a->cls = MX_INT32;
    a->rows = rows;
    a->cols = cols;
    a->ints.assign(rows * cols, 0);
  } catch (const std::bad_alloc&) {
    delete a;
    return nullptr;
  }
  return a;
}

mxArray* mx_create_struct(void) {
  auto* a = new (std::nothrow) mxArray;
  if (a == nullptr) return nullptr;
  a->cls = MX_STRUCT;
  a->rows = a->cols = 1;
  return a;
}

mxArray* mx_create_cell(size_t n) {
  auto* a = new (std::nothrow) mxArray;
  if (a == nullptr) return nullptr;
  try {
    a->cls = MX_CELL;
    a->rows = 1;
    a->cols = n;
    for (size_t k = 0; k < n; ++k) a->cells.emplace_back(new mxArray);
  } catch (const std::bad_alloc&) {
    delete a;
    return nullptr;
  }
  return a;
}

mxArray* mx_duplicate(const mxArray* a) {
  if (a == nullptr) return nullptr;
  try {
    return copy_of(*a).release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void mx_destroy(mxArray* a) { delete a; }

int mx_set_field(mxArray* a, const char* name, mxArray* value) {
  std::unique_ptr<mxArray> owned(value);
  if (a == nullptr || a->cls != MX_STRUCT || name == nullptr || value == nullptr) return -1;
  try {
    for (auto& [n, v] : a->fields)
      if (n == name) {
        v = std::move(owned);
        return 0;
      }
    a->fields.emplace_back(name, std::move(owned));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 0;
}

int mx_field_count(const mxArray* a) { return a->cls == MX_STRUCT ? static_cast<int>(a->fields.size()) : -1; }

const char* mx_field_name(const mxArray* a, int k) {
  if (a->cls != MX_STRUCT || k < 0 || k >= static_cast<int>(a->fields.size())) return nullptr;
  return a->fields[static_cast<size_t>(k)].first.c_str();
}

mxArray* mx_field_at(const mxArray* a, int k) {
  if (a->cls != MX_STRUCT || k < 0 || k >= static_cast<int>(a->fields.size())) return nullptr;
  return a->fields[static_cast<size_t>(k)].second.get();
}

mxArray* mx_get_field(const mxArray* a, const char* name) {
  if (a->cls != MX_STRUCT || name == nullptr) return nullptr;
  for (const auto& [n, v] : a->fields)
    if (n == name) return v.get();
  return nullptr;
}

int mx_set_cell(mxArray* a, size_t k, mxArray* value) {
  std::unique_ptr<mxArray> owned(value);
  if (a == nullptr || a->cls != MX_CELL || k >= a->cells.size() || value == nullptr) return -1;
  a->cells[k] = std::move(owned);
  return 0;
}

mxArray* mx_get_cell(const mxArray* a, size_t k) {
  if (a->cls != MX_CELL || k >= a->cells.size()) return nullptr;
  return a->cells[k].get();
}

mx_class mx_class_of(const mxArray* a) { return a->cls; }
size_t mx_rows(const mxArray* a) { return a->rows; }
size_t mx_cols(const mxArray* a) { return a->cols; }
size_t mx_numel(const mxArray* a) { return a->rows * a->cols; }
int mx_is_complex(const mxArray* a) { return a->cls == MX_DOUBLE && a->complex ? 1 : 0; }

double* mx_real(const mxArray* a) { return a->cls == MX_DOUBLE ? const_cast<double*>(a->re.data()) : nullptr; }
double* mx_imag(const mxArray* a) {
  return a->cls == MX_DOUBLE && a->complex ? const_cast<double*>(a->im.data()) : nullptr;
}
int32_t* mx_int32(const mxArray* a) { return a->cls == MX_INT32 ? const_cast<int32_t*>(a->ints.data()) : nullptr; }

long mx_text(const mxArray* a, char* buf, size_t buflen) {
  if (a->cls != MX_CHAR || buf == nullptr || buflen == 0) return -1;
  copy_message(a->text, buf, buflen);
  return static_cast<long>(a->text.size());
}

void mx_raise(const char* message) { throw RaisedError{message != nullptr ? message : ""}; }

int mx_call(mx_entry fn, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[], char* err, size_t errlen) {
  const int slots = nlhs > 0 ? nlhs : 1;  // an entry point may set its first result even when none is wanted
  for (int k = 0; k < slots; ++k) plhs[k] = nullptr;
  std::string message;
  try {
    fn(nlhs, plhs, nrhs, prhs);
    return 0;
  } catch (const RaisedError& e) {
    message = e.message;
  } catch (const std::bad_alloc&) {
    message = "bad allocation";
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "unknown error in plug-in";
  }
  for (int k = 0; k < slots; ++k) {
    mx_destroy(plhs[k]);
    plhs[k] = nullptr;
  }
  copy_message(message, err, errlen);
  return 1;
}

}  // extern "C"
