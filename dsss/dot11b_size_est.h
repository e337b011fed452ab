// Projected number of samples of one DSSS/CCK/PBCC packet.
#pragma once

namespace tarvio {

double Dot11b_SizeEst(double generationMode, double numberOfDATAbits, double DATArate, double highSpeedmod,
                      double encoderActive, double preambleType, double idleSamples, double rampType, double rampLength,
                      double OverSampling);

}  // namespace tarvio
