// Projected sample count of one OFDM packet, from the parameter set, and its
// registration as the operation Dot11a_SizeEst.
#include "ofdm/dot11a_size_est.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "records/record_value.h"
#include "runtime/registry.h"

namespace tarvio {

namespace {
std::string num_text(double x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", x);
  return buf;
}
}  // namespace

double Dot11a_SizeEst(const Parameters& p) {
  const double g = p.generationMode;
  // PSDU bits, plus 16 SERVICE and 6 tail bits when framed.
  const double bits =
      8 * (p.dataLength + g * p.MACfcs.Active * p.MACfcs.Length + g * p.MACheader.Active * p.MACheader.Length) + 22 * g;
  double nbpsc = 0;
  switch (static_cast<int>(p.modulation)) {
    case 1:
      nbpsc = 1;
      break;  // BPSK
    case 2:
      nbpsc = 2;
      break;  // QPSK
    case 3:
      nbpsc = 4;
      break;  // 16-QAM
    case 4:
      nbpsc = 6;
      break;  // 64-QAM
    default:
      break;
  }
  if (nbpsc == 0 || p.modulation != std::floor(p.modulation))
    throw std::invalid_argument("Dot11a_SizeEst: modulation " + num_text(p.modulation) +
                                " is not one of 1 (BPSK), 2 (QPSK), 3 (16-QAM), 4 (64-QAM)");
  if (!(p.encoderRate > 0))
    throw std::invalid_argument("Dot11a_SizeEst: encoderRate must be above 0 (0.5, 2/3 or 0.75)");
  // Data bits per OFDM symbol (IEEE 802.11a-1999 table 78) is a whole number;
  // rounding it keeps a rate such as 2/3, stored inexactly, from adding a
  // symbol through the ceiling below.
  const double ndbps = round_half_away(p.encoderRate * 48 * nbpsc);
  const double nsym = std::ceil(bits / ndbps);
  // 400 samples of preamble and SIGNAL (16 + 4 us) when framed, 80 per symbol.
  double count = (400 * g + 80 * nsym) * p.OverSampling + g * p.idleSamples;
  if (std::fmod(count, 2) == 1) count += 1;
  return count;
}

TARVIO_OP(
    "Dot11a_SizeEst", 1, 1,
    [](const Args& in, int) {
      const Value& v = arg_required(in, 0, "Dot11a_SizeEst");
      return std::vector<Value>{Value(Dot11a_SizeEst(record_from_value<Parameters>(v, "p")))};
    },
    "count = Dot11a_SizeEst(p): samples of one OFDM packet for the parameter set p");

}  // namespace tarvio
