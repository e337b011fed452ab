// PBCC: the rate-1/2 convolutional code with tail, the cover sequence and the
// BPSK/QPSK/8PSK symbol mapping.
#include "dsss/dot11b_pbcc.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "dsss/convol_encoder.h"
#include "dsss/dsss_args.h"
#include "dsss/dsss_values.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {

constexpr uint8_t kCoverSeed[16] = {0, 0, 1, 1, 0, 0, 1, 1, 1, 0, 0, 0, 1, 0, 1, 1};

void check_groups(size_t n, size_t group, const char* what) {
  if (n % group != 0)
    throw std::invalid_argument(std::string("PBCC ") + what + " mapping needs a multiple of " + std::to_string(group) +
                                " coded bits, not " + std::to_string(n) + ".");
}

}  // namespace

Bits PBCC_coverbits(double reqLength) {
  if (!(reqLength >= 0)) throw std::invalid_argument("PBCC_coverbits: the length must be 0 or more.");
  const size_t n = static_cast<size_t>(std::floor(reqLength));
  Bits out(n);
  for (size_t i = 0; i < n; ++i) {
    const size_t row = i / 16, col = i % 16;
    const size_t start = (3 * row) % 16;  // row rotated left by start
    out[i] = kCoverSeed[(start + col) % 16];
  }
  return out;
}

CVec Map_PBCC(const Bits& encodedBits, double DATArate, cplx initialPhase) {
  const cplx j(0, 1);
  if (DATArate == 5.5) {
    const Bits cover = PBCC_coverbits(static_cast<double>(encodedBits.size()));
    CVec out(cover.size());
    for (size_t i = 0; i < out.size(); ++i) {
      const cplx data = encodedBits[i] ? -1.0 : 1.0;
      out[i] = (initialPhase * data) * (cover[i] ? j : cplx(1.0));
    }
    return out;
  }
  if (DATArate == 11) {
    check_groups(encodedBits.size(), 2, "QPSK");
    const Bits cover = PBCC_coverbits(static_cast<double>(encodedBits.size() / 2));
    CVec out(cover.size());
    for (size_t i = 0; i < out.size(); ++i) {
      const double d0 = encodedBits[2 * i] ? 1 : 0, d1 = encodedBits[2 * i + 1] ? 1 : 0;
      const cplx data(1 - d0 - d1, d0 - d1);  // 00 -> 1, 01 -> -j, 10 -> j, 11 -> -1
      out[i] = (initialPhase * data) * (cover[i] ? j : cplx(1.0));
    }
    return out;
  }
  if (DATArate == 22 || DATArate == 33) {
    check_groups(encodedBits.size(), 3, "8PSK");
    const double z = 1.0 / std::sqrt(2.0);
    const cplx s0[8] = {{z, z}, {-z, z}, {-z, -z}, {z, -z}, {0, 1}, {-1, 0}, {0, -1}, {1, 0}};
    // The 8PSK branch divides by the phase reference: points turned by pi/4 - theta.
    const cplx relphase = cplx(z, z) / initialPhase;
    const Bits cover = PBCC_coverbits(static_cast<double>(encodedBits.size() / 3));
    CVec out(cover.size());
    for (size_t i = 0; i < out.size(); ++i) {
      const size_t v =
          (encodedBits[3 * i] ? 1u : 0u) + (encodedBits[3 * i + 1] ? 2u : 0u) + (encodedBits[3 * i + 2] ? 4u : 0u);
      out[i] = (cover[i] ? j * s0[v] : s0[v]) * relphase;
    }
    return out;
  }
  throw std::invalid_argument("Unsupported PBCC data rate " + Num2Str(DATArate) +
                              " Mbit/s: allowed are 5.5, 11, 22 and 33.");
}

CVec Dot11b_PBCC(const Bits& DATAbits, double DATArate, double encoderActive, cplx initialPhase) {
  if (encoderActive == 1) {
    Bits withTail = DATAbits;
    withTail.insert(withTail.end(), 8, 0);
    return Map_PBCC(ConvolEncoder(withTail, 7, {133, 175}), DATArate, initialPhase);
  }
  return Map_PBCC(DATAbits, DATArate, initialPhase);
}

TARVIO_OP(
    "Dot11b_PBCC", 4, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11b_PBCC";
      return {Value::complex_row(Dot11b_PBCC(arg_required(in, 0, op).to_bits(), arg_required(in, 1, op).to_double(),
                                             arg_required(in, 2, op).to_double(),
                                             dsss_complex_scalar(arg_required(in, 3, op), op)))};
    },
    "symbols = Dot11b_PBCC(bits, DATArate, encoderActive, initialPhase): PBCC payload at 5.5 or 11 Mbit/s");

TARVIO_OP(
    "Map_PBCC", 3, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Map_PBCC";
      return {Value::complex_row(Map_PBCC(arg_required(in, 0, op).to_bits(), arg_required(in, 1, op).to_double(),
                                          dsss_complex_scalar(arg_required(in, 2, op), op)))};
    },
    "symbols = Map_PBCC(encodedBits, DATArate, initialPhase): PBCC BPSK/QPSK/8PSK mapping with cover code");

TARVIO_OP(
    "PBCC_coverbits", 1, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {Value::row(PBCC_coverbits(arg_required(in, 0, "PBCC_coverbits").to_double()))};
    },
    "bits = PBCC_coverbits(reqLength): the PBCC cover sequence");

}  // namespace tarvio
