// DATA field bit processing and symbols, and the registered Dot11a_DATA.
#include "ofdm/dot11a_data.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "ofdm/dot11a_bit_kernel.h"
#include "ofdm/dot11a_convol_encode.h"
#include "ofdm/dot11a_interleave.h"
#include "ofdm/dot11a_mapping.h"
#include "ofdm/dot11a_pilot.h"
#include "ofdm/dot11a_scramble.h"
#include "ofdm/dot11a_symbol.h"
#include "ofdm/dot11a_time_domain.h"
#include "runtime/registry.h"

namespace tarvio {

double dot11a_encoder_rate(double r) {
  static const double rates[] = {0.5, 2.0 / 3.0, 0.75, 1.0};
  for (double x : rates)
    if (std::abs(r - x) < 1e-6) return x;
  throw std::invalid_argument("encoderRate must be 1/2, 2/3, 3/4 or 1 (uncoded), got " + std::to_string(r));
}

namespace {

// N_DBPS for N_CBPS coded bits at the given (snapped) code rate.
size_t data_bits_per_symbol(size_t ncbps, double rate) {
  if (rate == 0.5) return ncbps / 2;
  if (rate == 0.75) return ncbps * 3 / 4;
  if (rate == 1.0) return ncbps;
  return ncbps * 2 / 3;
}

}  // namespace

Dot11aDataBits dot11a_scrambled_bits(double generationMode, const Bits& userData, double serviceField,
                                     double modulation, double encoderRate, double scramblerActive,
                                     double scramblerInit) {
  const double rate = dot11a_encoder_rate(encoderRate);
  Dot11aDataBits r;
  r.ncbps = 48 * static_cast<size_t>(dot11a_bits_per_subcarrier(modulation));
  r.ndbps = data_bits_per_symbol(r.ncbps, rate);
  const bool framed = generationMode != 0;

  Bits& d = r.data;
  if (framed && (!(serviceField >= 0 && serviceField <= 65535) || serviceField != std::floor(serviceField)))
    throw std::invalid_argument("serviceField must be a whole number from 0 to 65535, got " +
                                std::to_string(serviceField));
  // Framed: SERVICE (16 bits), the user bits, the tail (6 zeros); then the
  // pad bits (zeros) up to whole symbols.
  const size_t head = framed ? 16 : 0;
  const size_t used = head + userData.size() + (framed ? 6 : 0);
  r.nsym = (used + r.ndbps - 1) / r.ndbps;
  d.assign(r.nsym * r.ndbps, 0);
  if (framed) {
    const unsigned sv = static_cast<unsigned>(serviceField);
    // SERVICE bits 0..6 synchronise the descrambler and are sent as 0.
    for (size_t k = 7; k < 16; ++k) d[k] = static_cast<uint8_t>((sv >> k) & 1u);
  }
  const uint8_t* u = userData.data();
  uint8_t* out = d.data() + head;
  for (size_t k = 0; k < userData.size(); ++k) out[k] = u[k] != 0 ? 1 : 0;

  if (scramblerActive != 0) {
    dot11a_seed_bits(scramblerInit);  // checks the seed
    dot11a_scramble_in_place(d.data(), d.size(), static_cast<unsigned>(scramblerInit));
    // The six bits ending just before the pad (the tail when framed) return
    // to zero so the decoder ends in the zero state. A row shorter than six
    // bits has all of its bits zeroed.
    std::fill(d.begin() + static_cast<std::ptrdiff_t>(used - std::min<size_t>(used, 6)),
              d.begin() + static_cast<std::ptrdiff_t>(used), uint8_t(0));
  }
  return r;
}

Dot11aDataBits dot11a_data_bits(double generationMode, const Bits& userData, double serviceField, double modulation,
                                double encoderRate, double scramblerActive, double scramblerInit) {
  Dot11aDataBits r = dot11a_scrambled_bits(generationMode, userData, serviceField, modulation, encoderRate,
                                           scramblerActive, scramblerInit);
  const double rate = dot11a_encoder_rate(encoderRate);
  r.coded = rate == 1.0 ? r.data : Dot11a_ConvolEncode(r.data, rate);
  return r;
}

CVec Dot11a_DATA(double generationMode, const Bits& userData, double serviceField, double /*dataRate*/,
                 double modulation, double encoderRate, double scramblerActive, double scramblerInit,
                 double interleaverActive, double oversamplingRate, double windowLength, const RVec& subCarrierMask,
                 double sincCompensation) {
  const Dot11aDataBits bits = dot11a_scrambled_bits(generationMode, userData, serviceField, modulation, encoderRate,
                                                    scramblerActive, scramblerInit);
  Dot11aBitKernel kernel(modulation, encoderRate, interleaverActive != 0);
  Dot11aSymbolBuilder builder(oversamplingRate, windowLength, subCarrierMask, sincCompensation);
  const size_t os = builder.oversampling(), W = builder.window();

  CVec out;
  if (bits.nsym == 0) return out;
  out.reserve(bits.nsym * 80 * os + W);
  cplx mapped[48];
  CVec sym;
  sym.reserve(80 * os + W);
  for (size_t i = 0; i < bits.nsym; ++i) {
    kernel.symbol(bits.data.data() + i * bits.ndbps, mapped);
    builder.symbol(mapped, Dot11a_Pilot(static_cast<double>(i + 1)), sym);
    dot11a_stitch_append(out, sym.data(), sym.size(), W);
  }
  return out;
}

TARVIO_OP(
    "Dot11a_DATA", 13, 1,
    [](const Args& in, int) -> std::vector<Value> {
      const char* op = "Dot11a_DATA";
      auto num = [&](size_t i) { return arg_required(in, i, op).to_double(); };
      return {Value::complex_row(Dot11a_DATA(num(0), arg_required(in, 1, op).to_bits(), num(2), num(3), num(4), num(5),
                                             num(6), num(7), num(8), num(9), num(10),
                                             arg_required(in, 11, op).to_reals(), arg_double(in, 12, 0)))};
    },
    "samples = Dot11a_DATA(generationMode, userData, serviceField, dataRate, modulation, encoderRate, "
    "scramblerActive, scramblerInit, interleaverActive, oversamplingRate, windowLength, subCarrierMask, "
    "sincCompensation)");

}  // namespace tarvio
