// The normalised sinc, sinc compensation of an oversampled spectrum,
// zero-insertion upsampling and cyclic extension of a row.
#include "dsp/resample.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "runtime/memory_check.h"
#include "runtime/registry.h"

namespace tarvio {

double Sinc(double x) {
  if (x == 0.0) return 1.0;
  const double px = std::numbers::pi * x;
  return std::sin(px) / px;
}

RVec Sinc(const RVec& x) {
  RVec y(x.size());
  for (size_t i = 0; i < x.size(); ++i) y[i] = Sinc(x[i]);
  return y;
}

CVec SincCompensation(const CVec& y) {
  const size_t n = y.size();
  const size_t half = n / 2;
  CVec x(n);
  // The weights cover k = -half .. half-1 (2*half bins); in inverse-DFT
  // order bin i holds k = i for i < half and k = i - n above. An odd length
  // would leave a bin without a weight.
  if (n % 2 != 0)
    throw std::invalid_argument("SincCompensation: the spectrum length (" + std::to_string(n) + ") must be even.");
  const double scale = static_cast<double>(half) + 1.0;
  for (size_t i = 0; i < n; ++i) {
    const double k = i < half ? static_cast<double>(i) : static_cast<double>(i) - static_cast<double>(n);
    x[i] = y[i] / Sinc(k / scale);
  }
  return x;
}

template <class V>
static V upsample_row(const V& x, size_t n) {
  if (n == 0) throw std::invalid_argument("Upsample: the factor must be at least 1.");
  V y(x.size() * n);
  for (size_t i = 0; i < x.size(); ++i) y[i * n] = x[i];
  return y;
}
CVec Upsample(const CVec& x, size_t n) { return upsample_row(x, n); }
RVec Upsample(const RVec& x, size_t n) { return upsample_row(x, n); }

template <class V>
static V extend_row(const V& data, size_t reqLength) {
  if (reqLength <= data.size()) return V(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(reqLength));
  if (data.empty())
    throw std::invalid_argument("Extendvector: an empty row cannot be extended to " + std::to_string(reqLength) +
                                " elements.");
  V out(reqLength);
  for (size_t i = 0; i < reqLength; ++i) out[i] = data[i % data.size()];
  return out;
}
CVec Extendvector(const CVec& data, size_t reqLength) { return extend_row(data, reqLength); }
RVec Extendvector(const RVec& data, size_t reqLength) { return extend_row(data, reqLength); }

// ---- registered operations ----------------------------------------------

static size_t count_arg(const Value& v, const char* op, const char* what) {
  const double d = v.to_double();
  if (!(d >= 0) || d != std::floor(d) || d > 1e12)
    throw std::invalid_argument(std::string(op) + ": " + what + " must be a non-negative integer.");
  return static_cast<size_t>(d);
}

static Value shaped_like(const Value& like, CVec data) {
  const bool row = like.rows() <= 1;
  const size_t n = data.size();
  bool real = true;
  for (const auto& c : data) real = real && c.imag() == 0.0;
  if (like.kind() != Value::Kind::Complex && real) {
    RVec r(n);
    for (size_t i = 0; i < n; ++i) r[i] = data[i].real();
    return Value::real(row ? 1 : n, row ? n : 1, std::move(r));
  }
  return Value::complex(row ? 1 : n, row ? n : 1, std::move(data));
}

TARVIO_OP(
    "Sinc", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Value& x = arg_required(in, 0, "Sinc");
      return {Value::real(x.rows(), x.cols(), Sinc(RVec(x.to_reals())))};
    },
    "y = Sinc(x): sin(pi x)/(pi x), 1 at 0, element by element");

TARVIO_OP(
    "SincCompensation", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Value& y = arg_required(in, 0, "SincCompensation");
      CVec x = SincCompensation(y.to_complex());
      const bool cplx_in = y.kind() == Value::Kind::Complex;
      if (!cplx_in) {
        RVec r(x.size());
        for (size_t i = 0; i < x.size(); ++i) r[i] = x[i].real();
        return {Value::real(y.rows(), y.cols(), std::move(r))};
      }
      return {Value::complex(y.rows(), y.cols(), std::move(x))};
    },
    "x = SincCompensation(y): divides a spectrum in inverse-DFT order by the sinc response");

TARVIO_OP(
    "Upsample", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Value& x = arg_required(in, 0, "Upsample");
      const size_t n = count_arg(arg_required(in, 1, "Upsample"), "Upsample", "the factor");
      if (x.rows() > 1 && x.cols() > 1) throw std::invalid_argument("Upsample: the input must be a row or a column.");
      check_memory("Upsample", double(x.numel()) * double(n), 32);  // complex samples and the result
      return {shaped_like(x, Upsample(x.to_complex(), n))};
    },
    "y = Upsample(x, n): every sample followed by n-1 zeros");

TARVIO_OP(
    "Extendvector", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const Value& d = arg_required(in, 0, "Extendvector");
      const size_t req = count_arg(arg_required(in, 1, "Extendvector"), "Extendvector", "the required length");
      check_memory("Extendvector", double(req), 32);
      if (d.kind() == Value::Kind::Complex)
        return {shaped_like(Value::complex_row({}), Extendvector(d.to_complex(), req))};
      return {Value::row(Extendvector(RVec(d.to_reals()), req))};
    },
    "output = Extendvector(data, reqLength): cyclic extension (or truncation) to reqLength elements, as a row");

}  // namespace tarvio
