// Sub-carrier to inverse-DFT bin mapping and frequency-domain oversampling,
// with their registered operations.
#include "ofdm/dot11a_carrier_mapping.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "dsp/resample.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

template <class T>
std::vector<T> carrier_mapping(const std::vector<T>& d, double method) {
  if (d.size() != 53)
    throw std::invalid_argument("Dot11a_CarrierMapping: 53 sub-carrier values (-26..+26) are needed, got " +
                                std::to_string(d.size()));
  std::vector<T> out(64, T(0));
  if (method == 1) {
    for (size_t k = 0; k < 27; ++k) out[k] = d[26 + k];  // sub-carriers 0..26
    for (size_t k = 0; k < 26; ++k) out[38 + k] = d[k];  // sub-carriers -26..-1
  } else if (method == 0) {
    for (size_t k = 0; k < 53; ++k) out[6 + k] = d[k];
  } else {
    throw std::invalid_argument("Dot11a_CarrierMapping: method must be 1 (inverse-DFT order) or 0 (centred), got " +
                                std::to_string(method));
  }
  return out;
}

}  // namespace

CVec Dot11a_CarrierMapping(const CVec& data, double method) { return carrier_mapping(data, method); }
RVec Dot11a_CarrierMapping(const RVec& data, double method) { return carrier_mapping(data, method); }

size_t dot11a_oversampling(double x, const char* op) {
  if (!(x >= 1 && x <= 100) || x != std::floor(x))
    throw std::invalid_argument(std::string(op) + ": the oversampling rate must be a whole number from 1 to 100, got " +
                                std::to_string(x));
  return static_cast<size_t>(x);
}

CVec Dot11a_Oversample(const CVec& input, double oversamplingRate, double DACcompensate, double stdMethod) {
  if (input.size() != 64)
    throw std::invalid_argument("Dot11a_Oversample: 64 bins are needed, got " + std::to_string(input.size()));
  const size_t os = dot11a_oversampling(oversamplingRate, "Dot11a_Oversample");
  CVec out(64 * os, cplx(0.0, 0.0));
  if (stdMethod == 1) {
    for (size_t k = 0; k < 32; ++k) out[k] = input[k];
    for (size_t k = 0; k < 32; ++k) out[64 * os - 32 + k] = input[32 + k];
  } else if (stdMethod == 2) {
    for (size_t k = 0; k < 64; ++k) out[k] = input[k];
  } else {
    throw std::invalid_argument(
        "Dot11a_Oversample: stdMethod must be 1 (zeros between the halves) or 2 (zeros at "
        "the end), got " +
        std::to_string(stdMethod));
  }
  if (DACcompensate != 0) out = SincCompensation(out);
  return out;
}

TARVIO_OP(
    "Dot11a_CarrierMapping", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const CVec d = arg_required(in, 0, "Dot11a_CarrierMapping").to_complex();
      const CVec out = Dot11a_CarrierMapping(d, arg_required(in, 1, "Dot11a_CarrierMapping").to_double());
      if (in[0].kind() == Value::Kind::Complex) return {Value::complex_row(out)};
      RVec re(out.size());
      for (size_t i = 0; i < out.size(); ++i) re[i] = out[i].real();
      return {Value::row(re)};
    },
    "freqOffsets = Dot11a_CarrierMapping(data, method): 53 sub-carriers to 64 bins (1 = DFT order, 0 = centred)");

TARVIO_OP(
    "Dot11a_Oversample", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      if (in.size() < 2) return {Value::empty()};  // nothing to oversample without a rate
      const CVec x = in[0].to_complex();
      return {Value::complex_row(Dot11a_Oversample(x, in[1].to_double(), arg_double(in, 2, 1), arg_double(in, 3, 1)))};
    },
    "output = Dot11a_Oversample(input, oversamplingRate, DACcompensate, stdMethod): zero insertion of 64 bins");

}  // namespace tarvio
