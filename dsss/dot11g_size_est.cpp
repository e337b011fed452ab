// Projected sample counts: one ERP-PBCC packet (Dot11g_PBCC_SizeEst) and the
// whole parameter set, all packets, for every format (Dot11g_SizeEst).
#include "dsss/dot11g_size_est.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "dsss/dot11b_size_est.h"
#include "ofdm/dot11a_size_est.h"
#include "records/record_value.h"
#include "runtime/registry.h"

namespace tarvio {

double Dot11g_PBCC_SizeEst(double generationMode, double numberOfDATAbits, double DATArate, double highSpeedmod,
                           double encoderActive, double preambleType, double idleSamples, double rampType,
                           double rampLength, double OverSampling) {
  (void)highSpeedmod;  // ERP-PBCC is always PBCC
  const double G = generationMode, P = preambleType, OS = OverSampling;
  double N = numberOfDATAbits;
  const double preambleSize = 11 * (144 - 72 * P) * G;
  const double headerSize = 11 * 48 / (P + 1) * G;
  const double clkStructSize = 165 / (P + 1) * G;  // 15 clock-switch bits of 11 chips
  double ramp = rampType > 0 ? 2 * rampLength * G : 0;
  const double idle = idleSamples * G;
  // Unencoded, the bits are padded to whole 8PSK symbols of 3 bits; the
  // rate-2/3 code gives one symbol per 2 bits (tail not counted).
  if (encoderActive == 0) N = 3 * std::ceil(N / 3);
  const double dataSize = N / (3 - encoderActive);
  double size;
  if (DATArate == 22) {
    size = (preambleSize + headerSize + dataSize) * OS + ramp + idle;
  } else if (DATArate == 33) {
    // Preamble, header, ramp-up and the first 3 clock-switch bits at the
    // 11 MHz clock; the rest at 16.5 MHz, i.e. 2/3 of the samples per symbol.
    ramp = ramp / OS;
    size = (preambleSize + headerSize + ramp / 2 + 0.2 * clkStructSize) * OS +
           (0.8 * clkStructSize + dataSize + ramp / 2) * OS * 2 / 3 + idle;
  } else {
    size = 0;
  }
  if (std::fmod(size, 2) == 1) size += 1;
  return size;
}

double Dot11g_SizeEst(const Parameters& p) {
  double one;
  if (p.format == 1) {
    one = Dot11a_SizeEst(p);
  } else if (p.format == 2 || p.format == 3) {
    auto est = p.format == 2 ? &Dot11b_SizeEst : &Dot11g_PBCC_SizeEst;
    one = est(p.generationMode, 8 * p.totalLength, p.dataRate, p.highRateMod, p.encoderActive, p.preambleType,
              p.idleSamples, p.rampType, p.rampLength, p.OverSampling);
  } else {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", p.format);
    throw std::invalid_argument(std::string("Dot11g_SizeEst: format ") + buf +
                                " is not 1 (OFDM), 2 (DSSS/CCK/PBCC) or 3 (ERP-PBCC)");
  }
  return one * p.numberOfPackets;
}

TARVIO_OP(
    "Dot11g_PBCC_SizeEst", 10, 1,
    [](const Args& in, int) {
      double a[10];
      for (size_t i = 0; i < 10; ++i) a[i] = arg_required(in, i, "Dot11g_PBCC_SizeEst").to_double();
      return std::vector<Value>{Value(Dot11g_PBCC_SizeEst(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]))};
    },
    "size = Dot11g_PBCC_SizeEst(generationMode, numberOfDATAbits, DATArate, highSpeedmod, encoderActive, "
    "preambleType, idleSamples, rampType, rampLength, OverSampling): samples of one ERP-PBCC packet");

TARVIO_OP(
    "Dot11g_SizeEst", 1, 1,
    [](const Args& in, int) {
      const Value& v = arg_required(in, 0, "Dot11g_SizeEst");
      return std::vector<Value>{Value(Dot11g_SizeEst(record_from_value<Parameters>(v, "p")))};
    },
    "size = Dot11g_SizeEst(p): samples of all packets of the parameter set p, any format");

}  // namespace tarvio
