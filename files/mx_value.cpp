// Values to argument arrays and back.
#include "files/mx_value.h"

#include <algorithm>
#include <new>
#include <string>

namespace tarvio {

namespace {
ArrayPtr checked(mxArray* a) {
  if (a == nullptr) throw std::bad_alloc();
  return ArrayPtr(a);
}
}  // namespace

ArrayPtr to_array(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Real:
    case Value::Kind::Logical: {
      ArrayPtr a = checked(mx_create_double(v.rows(), v.cols(), 0));
      const std::vector<double> re = v.to_reals();
      std::copy(re.begin(), re.end(), mx_real(a.get()));
      return a;
    }
    case Value::Kind::Complex: {
      ArrayPtr a = checked(mx_create_double(v.rows(), v.cols(), 1));
      std::copy(v.re().begin(), v.re().end(), mx_real(a.get()));
      std::copy(v.im().begin(), v.im().end(), mx_imag(a.get()));
      return a;
    }
    case Value::Kind::Text:
      return checked(mx_create_text(v.str().c_str()));
    case Value::Kind::Int32: {
      ArrayPtr a = checked(mx_create_int32(v.rows(), v.cols()));
      std::copy(v.ints().begin(), v.ints().end(), mx_int32(a.get()));
      return a;
    }
    case Value::Kind::Record: {
      ArrayPtr a = checked(mx_create_struct());
      for (const auto& [name, field] : v.record().fields())
        if (mx_set_field(a.get(), name.c_str(), to_array(field).release()) != 0) throw std::bad_alloc();
      return a;
    }
    case Value::Kind::List: {
      const std::vector<Value>& items = v.list();
      ArrayPtr a = checked(mx_create_cell(items.size()));
      for (size_t k = 0; k < items.size(); ++k)
        if (mx_set_cell(a.get(), k, to_array(items[k]).release()) != 0) throw std::bad_alloc();
      return a;
    }
  }
  throw std::bad_alloc();  // not reached: every kind is handled above
}

Value from_array(const mxArray* a) {
  if (a == nullptr) return Value();
  const size_t rows = mx_rows(a), cols = mx_cols(a), n = mx_numel(a);
  switch (mx_class_of(a)) {
    case MX_CHAR: {
      std::string s(n + 1, '\0');
      mx_text(a, s.data(), s.size());
      s.resize(n);
      return Value::text(s);
    }
    case MX_INT32:
      return Value::int32(rows, cols, std::vector<int32_t>(mx_int32(a), mx_int32(a) + n));
    case MX_STRUCT: {
      Record r;
      for (int k = 0; k < mx_field_count(a); ++k) r.set(mx_field_name(a, k), from_array(mx_field_at(a, k)));
      return Value(std::move(r));
    }
    case MX_CELL: {
      std::vector<Value> items;
      for (size_t k = 0; k < n; ++k) items.push_back(from_array(mx_get_cell(a, k)));
      return Value::list(std::move(items));
    }
    case MX_DOUBLE:
    default:
      if (mx_is_complex(a)) {
        std::vector<cplx> c(n);
        for (size_t k = 0; k < n; ++k) c[k] = cplx(mx_real(a)[k], mx_imag(a)[k]);
        return Value::complex(rows, cols, std::move(c));
      }
      return Value::real(rows, cols, std::vector<double>(mx_real(a), mx_real(a) + n));
  }
}

}  // namespace tarvio
