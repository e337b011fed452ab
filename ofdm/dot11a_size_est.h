// Projected number of samples of one OFDM packet.
#pragma once

#include "records/records.h"

namespace tarvio {

double Dot11a_SizeEst(const Parameters& p);

}  // namespace tarvio
