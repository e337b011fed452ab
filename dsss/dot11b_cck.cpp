// Complementary code keying at 5.5 and 11 Mbit/s: phase encoding and the
// 8-chip codewords.
#include "dsss/dot11b_cck.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "dsss/dsss_args.h"
#include "dsss/dsss_values.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

constexpr double kPi = std::numbers::pi;

// Even-symbol phase change of (d0, d1): 00 -> 0, 01 -> pi/2, 11 -> pi, 10 -> -pi/2.
double dqpsk_delta(uint8_t d0, uint8_t d1) {
  if (!d0) return d1 ? kPi / 2 : 0.0;
  return d1 ? kPi : -kPi / 2;
}

// Fills 8 chips per symbol; `phases(i, phi2, phi3, phi4)` gives the three
// absolute phases of symbol i.
template <class Phases>
CVec cck_chips(const Bits& data, size_t bitsPerSymbol, cplx initialPhase, Phases phases) {
  const size_t len = data.size() / bitsPerSymbol;
  Bits d0(len), d1(len);
  for (size_t i = 0; i < len; ++i) {
    d0[i] = data[i * bitsPerSymbol] != 0;
    d1[i] = data[i * bitsPerSymbol + 1] != 0;
  }
  const RVec phi1 = Dot11b_CCK_DQPSK(d0, d1, std::atan2(initialPhase.imag(), initialPhase.real()));
  CVec out(8 * len);
  for (size_t i = 0; i < len; ++i) {
    double p2, p3, p4;
    phases(&data[i * bitsPerSymbol], p2, p3, p4);
    const auto cw = Dot11b_CCKcodeword(phi1[i], p2, p3, p4);
    for (size_t c = 0; c < 8; ++c) out[8 * i + c] = cw[c];
  }
  return out;
}

}  // namespace

RVec Dot11b_CCK_DQPSK(const Bits& d0, const Bits& d1, double initialPhase) {
  if (d0.size() != d1.size())
    throw std::invalid_argument("Dot11b_CCK_DQPSK needs bit rows of equal length (" + std::to_string(d0.size()) +
                                " and " + std::to_string(d1.size()) + " given).");
  RVec out(d0.size());
  for (size_t i = 0; i < d0.size(); ++i) {
    const double base = i == 0 ? initialPhase : out[i - 1];
    // Symbols are counted from 0 at the first PSDU symbol; odd ones get an
    // extra pi (added as a separate term, not reduced modulo 2 pi).
    const double offset = (i % 2 == 1) ? kPi : 0.0;
    out[i] = base + (dqpsk_delta(d0[i] != 0, d1[i] != 0) + offset);
  }
  return out;
}

std::array<cplx, 8> Dot11b_CCKcodeword(double phi1, double phi2, double phi3, double phi4) {
  auto e = [](double a) { return std::polar(1.0, a); };
  return {e(phi1 + phi2 + phi3 + phi4), e(phi1 + phi3 + phi4), e(phi1 + phi2 + phi4), -e(phi1 + phi4),
          e(phi1 + phi2 + phi3),        e(phi1 + phi3),        -e(phi1 + phi2),       e(phi1)};
}

CVec Dot11b_CCK5(const Bits& data, cplx initialPhase) {
  return cck_chips(data, 4, initialPhase, [](const uint8_t* d, double& p2, double& p3, double& p4) {
    p2 = (d[2] ? kPi : 0.0) + kPi / 2;
    p3 = 0.0;
    p4 = d[3] ? kPi : 0.0;
  });
}

CVec Dot11b_CCK11(const Bits& data, cplx initialPhase) {
  return cck_chips(data, 8, initialPhase, [](const uint8_t* d, double& p2, double& p3, double& p4) {
    auto qpsk = [](uint8_t a, uint8_t b) { return (a ? kPi : 0.0) + (b ? kPi / 2 : 0.0); };
    p2 = qpsk(d[2], d[3]);
    p3 = qpsk(d[4], d[5]);
    p4 = qpsk(d[6], d[7]);
  });
}

CVec Dot11b_CCK(const Bits& DATAbits, double DATArate, cplx initialPhase) {
  if (DATArate == 5.5) return Dot11b_CCK5(DATAbits, initialPhase);
  if (DATArate == 11) return Dot11b_CCK11(DATAbits, initialPhase);
  throw std::invalid_argument("Unsupported CCK data rate " + Num2Str(DATArate) + " Mbit/s: allowed are 5.5 and 11.");
}

TARVIO_OP(
    "Dot11b_CCK", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11b_CCK";
      return {Value::complex_row(Dot11b_CCK(arg_required(in, 0, op).to_bits(), arg_required(in, 1, op).to_double(),
                                            dsss_complex_scalar(arg_required(in, 2, op), op)))};
    },
    "chips = Dot11b_CCK(bits, DATArate, initialPhase): CCK at 5.5 or 11 Mbit/s");

TARVIO_OP(
    "Dot11b_CCK5", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11b_CCK5";
      return {Value::complex_row(
          Dot11b_CCK5(arg_required(in, 0, op).to_bits(), dsss_complex_scalar(arg_required(in, 1, op), op)))};
    },
    "chips = Dot11b_CCK5(bits, initialPhase): 5.5 Mbit/s CCK, 8 chips per 4 bits");

TARVIO_OP(
    "Dot11b_CCK11", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11b_CCK11";
      return {Value::complex_row(
          Dot11b_CCK11(arg_required(in, 0, op).to_bits(), dsss_complex_scalar(arg_required(in, 1, op), op)))};
    },
    "chips = Dot11b_CCK11(bits, initialPhase): 11 Mbit/s CCK, 8 chips per 8 bits");

TARVIO_OP(
    "Dot11b_CCK_DQPSK", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11b_CCK_DQPSK";
      return {Value::row(Dot11b_CCK_DQPSK(arg_required(in, 0, op).to_bits(), arg_required(in, 1, op).to_bits(),
                                          arg_required(in, 2, op).to_double()))};
    },
    "phi1 = Dot11b_CCK_DQPSK(d0, d1, initialPhase): differential phase of every CCK symbol (radians)");

TARVIO_OP(
    "Dot11b_CCKcodeword", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11b_CCKcodeword";
      const auto cw = Dot11b_CCKcodeword(arg_required(in, 0, op).to_double(), arg_required(in, 1, op).to_double(),
                                         arg_required(in, 2, op).to_double(), arg_required(in, 3, op).to_double());
      return {Value::complex_row(CVec(cw.begin(), cw.end()))};
    },
    "chips = Dot11b_CCKcodeword(phi1, phi2, phi3, phi4): the 8-chip CCK codeword");

}  // namespace tarvio
