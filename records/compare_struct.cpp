// Field-by-field record comparison.
#include "records/compare_struct.h"

#include <cmath>

#include "runtime/registry.h"

namespace tarvio {

namespace {

bool same_number(double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); }

bool values_equal(const Value& a, const Value& b);

bool numeric_equal(const Value& a, const Value& b) {
  if (a.rows() != b.rows() || a.cols() != b.cols()) return false;
  const auto& ar = a.re();
  const auto& br = b.re();
  for (size_t i = 0; i < a.numel(); ++i) {
    if (!same_number(ar[i], br[i])) return false;
    const double ai = a.im().empty() ? 0.0 : a.im()[i];
    const double bi = b.im().empty() ? 0.0 : b.im()[i];
    if (!same_number(ai, bi)) return false;
  }
  return true;
}

bool values_equal(const Value& a, const Value& b) {
  if (a.is_empty() && b.is_empty()) return true;
  if (a.is_record() && b.is_record()) return CompareStruct(a, b);
  if (a.is_numeric() && b.is_numeric()) return numeric_equal(a, b);
  if (a.is_text() && b.is_text()) return a.str() == b.str();
  if (a.is_list() && b.is_list()) {
    if (a.list().size() != b.list().size()) return false;
    for (size_t i = 0; i < a.list().size(); ++i)
      if (!values_equal(a.list()[i], b.list()[i])) return false;
    return true;
  }
  return false;
}

}  // namespace

bool CompareStruct(const Value& a, const Value& b) {
  if (!a.is_record() || !b.is_record()) return false;
  const auto& fa = a.record().fields();
  const auto& fb = b.record().fields();
  if (fa.size() != fb.size()) return false;
  for (size_t i = 0; i < fa.size(); ++i) {
    if (fa[i].first != fb[i].first) return false;
    if (!values_equal(fa[i].second, fb[i].second)) return false;
  }
  return true;
}

TARVIO_OP(
    "CompareStruct", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {
          Value(CompareStruct(arg_required(in, 0, "CompareStruct"), arg_required(in, 1, "CompareStruct")) ? 1.0 : 0.0)};
    },
    "equal = CompareStruct(a, b): 1 when the two records are equal field by field, in order");

}  // namespace tarvio
