// The ERP-PBCC 22/33 Mbit/s payload: rate-2/3 PBCC-22 coding and 8PSK
// mapping.
#include "dsss/dot11g_pbcc.h"

#include <stdexcept>
#include <string>

#include "dsss/convol_encoder.h"
#include "dsss/dot11b_pbcc.h"
#include "dsss/dsss_args.h"
#include "runtime/registry.h"

namespace tarvio {

Bits Dot11g_PBCC22Encoder(const Bits& dataIn, double k, const std::vector<std::vector<double>>& genMatrix) {
  if (genMatrix.size() != 2 || genMatrix[0].size() != genMatrix[1].size() || genMatrix[0].empty())
    throw std::invalid_argument(
        "Dot11g_PBCC22Encoder: genMatrix must have two rows (one per input stream) of equal, non-zero length.");
  if (dataIn.size() % 2 != 0)
    throw std::invalid_argument(
        "Dot11g_PBCC22Encoder: the input must hold an even number of bits (two per step); got " +
        std::to_string(dataIn.size()) + ".");
  const size_t pairs = dataIn.size() / 2;
  Bits b0(pairs), b1(pairs);
  for (size_t i = 0; i < pairs; ++i) {
    b0[i] = dataIn[2 * i];
    b1[i] = dataIn[2 * i + 1];
  }
  Bits out = ConvolEncoder(b0, k, genMatrix[0]);
  const Bits c1 = ConvolEncoder(b1, k, genMatrix[1]);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>((out[i] ^ c1[i]) & 1u);
  return out;
}

CVec Dot11g_PBCC(const Bits& DATAbits, double DATArate, double encoderActive, cplx initialPhase) {
  if (DATArate != 22 && DATArate != 33) throw std::invalid_argument("wrong data rate used while calling dot11g_PBCC()");
  Bits bits = DATAbits;
  if (encoderActive == 1) {
    if (bits.size() % 2 != 0) bits.push_back(0);
    bits.insert(bits.end(), 8, 0);  // tail: returns the encoder to the zero state
    return Map_PBCC(Dot11g_PBCC22Encoder(bits, 5, kPbcc22GenMatrix), DATArate, initialPhase);
  }
  bits.resize((bits.size() + 2) / 3 * 3, 0);
  return Map_PBCC(bits, DATArate, initialPhase);
}

namespace {

std::vector<std::vector<double>> gen_matrix_of(const Value& v) {
  if (v.rows() != 2 || v.cols() == 0)
    throw std::invalid_argument("Dot11g_PBCC22Encoder: genMatrix must be a 2-row matrix of octal generators.");
  const std::vector<double> re = v.to_reals();  // column-major
  std::vector<std::vector<double>> g(2, std::vector<double>(v.cols()));
  for (size_t c = 0; c < v.cols(); ++c)
    for (size_t r = 0; r < 2; ++r) g[r][c] = re[c * 2 + r];
  return g;
}

TARVIO_OP(
    "Dot11g_PBCC22Encoder", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11g_PBCC22Encoder";
      const Bits data = arg_required(in, 0, op).to_bits();
      const double k = arg_double(in, 1, 5);
      const auto g = has_arg(in, 2) ? gen_matrix_of(in[2]) : kPbcc22GenMatrix;
      return {Value::row(Dot11g_PBCC22Encoder(data, k, g))};
    },
    "Dot11g_PBCC22Encoder(dataIn, k, genMatrix): rate-2/3 PBCC-22 coded bits, 3 per input pair");

TARVIO_OP(
    "Dot11g_PBCC", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11g_PBCC";
      return {Value::complex_row(Dot11g_PBCC(arg_required(in, 0, op).to_bits(), arg_required(in, 1, op).to_double(),
                                             arg_required(in, 2, op).to_double(),
                                             dsss_complex_scalar(arg_required(in, 3, op), op)))};
    },
    "Dot11g_PBCC(DATAbits, DATArate, encoderActive, initialPhase): 8PSK ERP-PBCC payload symbols (22 or 33 Mbit/s)");

}  // namespace

}  // namespace tarvio
