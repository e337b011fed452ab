// Differential BPSK and QPSK with Barker spreading (1 and 2 Mbit/s DSSS).
#include "dsss/dot11b_dsss_mod.h"

#include <stdexcept>
#include <string>

#include "dsss/dot11b_barker.h"
#include "dsss/dsss_args.h"
#include "runtime/registry.h"

namespace tarvio {

CVec Dot11b_DBPSK(const Bits& data, cplx initialVector) {
  if (data.empty()) throw std::invalid_argument("Dot11b_DBPSK needs at least one bit.");
  CVec out(data.size());
  cplx prev = initialVector;
  for (size_t k = 0; k < data.size(); ++k) {
    prev = data[k] ? -prev : prev;
    out[k] = prev;
  }
  return out;
}

CVec Dot11b_DQPSK(const Bits& data, cplx initialVector) {
  if (data.empty() || data.size() % 2 != 0)
    throw std::invalid_argument("Dot11b_DQPSK needs a non-zero even number of bits, not " +
                                std::to_string(data.size()) + ".");
  CVec out(data.size() / 2);
  cplx prev = initialVector;
  for (size_t k = 0; k < out.size(); ++k) {
    const double first = data[2 * k] ? 1.0 : 0.0, second = data[2 * k + 1] ? 1.0 : 0.0;
    // 00 -> 1, 01 -> j, 11 -> -1, 10 -> -j
    const cplx phasor(1 - first - second, second - first);
    prev = phasor * prev;
    out[k] = prev;
  }
  return out;
}

DsssChips Dot11b_1Mbps(const Bits& DATAbits, cplx intialPhase) {
  const CVec symbols = Dot11b_DBPSK(DATAbits, intialPhase);
  return {Dot11b_BarkerSpread(symbols), symbols.back()};
}

DsssChips Dot11b_2Mbps(const Bits& DATAbits, cplx intialPhase) {
  const CVec symbols = Dot11b_DQPSK(DATAbits, intialPhase);
  return {Dot11b_BarkerSpread(symbols), symbols.back()};
}

namespace {

std::vector<Value> spread_op(const Args& in, const char* op, DsssChips (*f)(const Bits&, cplx)) {
  const DsssChips r = f(arg_required(in, 0, op).to_bits(), dsss_complex_scalar(arg_required(in, 1, op), op));
  return {Value::complex_row(r.output), Value::complex_row({r.lastPhase})};
}

}  // namespace

TARVIO_OP(
    "Dot11b_DBPSK", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {
          Value::complex_row(Dot11b_DBPSK(arg_required(in, 0, "Dot11b_DBPSK").to_bits(),
                                          dsss_complex_scalar(arg_required(in, 1, "Dot11b_DBPSK"), "Dot11b_DBPSK")))};
    },
    "symbols = Dot11b_DBPSK(data, initialVector): differential BPSK, one symbol per bit");

TARVIO_OP(
    "Dot11b_DQPSK", 2, 1,
    [](const Args& in, int) -> std::vector<Value> {
      return {
          Value::complex_row(Dot11b_DQPSK(arg_required(in, 0, "Dot11b_DQPSK").to_bits(),
                                          dsss_complex_scalar(arg_required(in, 1, "Dot11b_DQPSK"), "Dot11b_DQPSK")))};
    },
    "symbols = Dot11b_DQPSK(data, initialVector): differential QPSK, one symbol per bit pair");

TARVIO_OP(
    "Dot11b_1Mbps", 2, 2, [](const Args& in, int) { return spread_op(in, "Dot11b_1Mbps", Dot11b_1Mbps); },
    "[chips, lastPhase] = Dot11b_1Mbps(bits, intialPhase): DBPSK with Barker spreading");

TARVIO_OP(
    "Dot11b_2Mbps", 2, 2, [](const Args& in, int) { return spread_op(in, "Dot11b_2Mbps", Dot11b_2Mbps); },
    "[chips, lastPhase] = Dot11b_2Mbps(bits, intialPhase): DQPSK with Barker spreading");

}  // namespace tarvio
