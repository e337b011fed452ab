// The one lock around FFTW's planner.
#include "runtime/fftw_planner.h"

namespace tarvio {

std::mutex& fftw_planner_mutex() {
  static std::mutex m;
  return m;
}

}  // namespace tarvio
