// Projected sample count of one DSSS/CCK/PBCC packet, and its registration as
// the operation Dot11b_SizeEst.
#include "dsss/dot11b_size_est.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "runtime/registry.h"

namespace tarvio {

double Dot11b_SizeEst(double generationMode, double numberOfDATAbits, double DATArate, double highSpeedmod,
                      double encoderActive, double preambleType, double idleSamples, double rampType, double rampLength,
                      double OverSampling) {
  const double G = generationMode, N = numberOfDATAbits, P = preambleType;
  // Preamble at 1 Mbit/s (144 or 72 bits), header at 1 or 2 Mbit/s (48 bits),
  // 11 Barker chips per bit.
  const double preambleSize = 11 * (144 - 72 * P) * G;
  const double headerSize = 11 * 48 / (P + 1) * G;
  double dataSize;
  if (DATArate == 1) {
    dataSize = 11 * N;
  } else if (DATArate == 2) {
    dataSize = 11 * N / 2;
  } else if (DATArate == 5.5) {
    dataSize = highSpeedmod == 0 ? 8 * N / 4 : N * (1 + encoderActive);  // CCK: 8 chips per 4 bits
  } else if (DATArate == 11) {
    dataSize = highSpeedmod == 0 ? 8 * N / 8 : (N / 2) * (1 + encoderActive);  // CCK: 8 chips per 8 bits
  } else {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", DATArate);
    throw std::invalid_argument(std::string("Dot11b_SizeEst: data rate ") + buf +
                                " Mbit/s is not a DSSS/CCK/PBCC rate (1, 2, 5.5 or 11)");
  }
  const double ramp = rampType > 0 ? 2 * rampLength * G : 0;  // already in samples
  const double size = (preambleSize + headerSize + dataSize) * OverSampling + ramp;
  const double idle = idleSamples * G;
  const double pad = std::fmod(size + idle, 2) == 1 ? 1 : 0;
  return size + idle + pad;
}

TARVIO_OP(
    "Dot11b_SizeEst", 10, 1,
    [](const Args& in, int) {
      double a[10];
      for (size_t i = 0; i < 10; ++i) a[i] = arg_required(in, i, "Dot11b_SizeEst").to_double();
      return std::vector<Value>{Value(Dot11b_SizeEst(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]))};
    },
    "size = Dot11b_SizeEst(generationMode, numberOfDATAbits, DATArate, highSpeedmod, encoderActive, "
    "preambleType, idleSamples, rampType, rampLength, OverSampling): samples of one DSSS/CCK/PBCC packet");

}  // namespace tarvio
