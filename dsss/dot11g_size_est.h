// Projected number of samples: one ERP-PBCC packet, and the whole parameter
// set for every format (all packets).
#pragma once

#include "records/records.h"

namespace tarvio {

double Dot11g_PBCC_SizeEst(double generationMode, double numberOfDATAbits, double DATArate, double highSpeedmod,
                           double encoderActive, double preambleType, double idleSamples, double rampType,
                           double rampLength, double OverSampling);
double Dot11g_SizeEst(const Parameters& p);

}  // namespace tarvio
