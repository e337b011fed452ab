// The FFTW planner lock.
#include "dsp/fftw_planner.h"

namespace tarvio {

std::mutex& fftw_planner_mutex() {
  static std::mutex m;
  return m;
}

}  // namespace tarvio
