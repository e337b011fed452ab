// SIGNAL field bits and symbol, and the registered Dot11a_SIGNAL.
#include "ofdm/dot11a_signal.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "ofdm/dot11a_convol_encode.h"
#include "ofdm/dot11a_interleave.h"
#include "ofdm/dot11a_mapping.h"
#include "ofdm/dot11a_pilot.h"
#include "ofdm/dot11a_symbol.h"
#include "runtime/registry.h"

namespace tarvio {

Bits dot11a_SIGNAL_RateMapping(double rate) {
  struct Row {
    double rate;
    uint8_t r[4];
  };
  static const Row table[] = {{6, {1, 1, 0, 1}},  {9, {1, 1, 1, 1}},  {12, {0, 1, 0, 1}}, {18, {0, 1, 1, 1}},
                              {24, {1, 0, 0, 1}}, {36, {1, 0, 1, 1}}, {48, {0, 0, 0, 1}}, {54, {0, 0, 1, 1}}};
  for (const Row& row : table)
    if (row.rate == rate) return Bits(row.r, row.r + 4);
  return Bits(4, 0);
}

Bits dot11a_signal_bits(double rate, double lengthInBytes) {
  if (!(lengthInBytes >= 0 && lengthInBytes <= 4095) || lengthInBytes != std::floor(lengthInBytes))
    throw std::invalid_argument("Dot11a_SIGNAL: the LENGTH must be a whole number of octets from 0 to 4095, got " +
                                std::to_string(lengthInBytes));
  Bits b = dot11a_SIGNAL_RateMapping(rate);
  b.push_back(0);  // reserved
  const unsigned len = static_cast<unsigned>(lengthInBytes);
  for (int k = 0; k < 12; ++k) b.push_back((len >> k) & 1u);
  uint8_t parity = 0;
  for (uint8_t x : b) parity ^= x;
  b.push_back(parity);
  b.insert(b.end(), 6, 0);  // tail
  return b;
}

CVec Dot11a_SIGNAL(double rate, double lengthInBytes, double oversamplingRate, double windowLength,
                   const RVec& subCarrierMask, double sincCompensation) {
  const Bits coded = Dot11a_Interleave(Dot11a_ConvolEncode(dot11a_signal_bits(rate, lengthInBytes), 0.5));
  cplx mapped[48];
  dot11a_map_bits(coded.data(), coded.size(), "BPSK", mapped);
  Dot11aSymbolBuilder b(oversamplingRate, windowLength, subCarrierMask, sincCompensation);
  CVec out;
  b.symbol(mapped, Dot11a_Pilot(0), out);
  return out;
}

TARVIO_OP(
    "Dot11a_SIGNAL", 6, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11a_SIGNAL";
      return {Value::complex_row(Dot11a_SIGNAL(arg_required(in, 0, op).to_double(), arg_required(in, 1, op).to_double(),
                                               arg_required(in, 2, op).to_double(), arg_required(in, 3, op).to_double(),
                                               arg_required(in, 4, op).to_reals(), arg_double(in, 5, 0)))};
    },
    "samples = Dot11a_SIGNAL(rate, lengthInBytes, oversamplingRate, windowLength, subCarrierMask, "
    "sincCompensation)");

}  // namespace tarvio
