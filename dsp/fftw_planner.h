// The one lock around FFTW's planner. Plans are made by more than one cache
// (the circular filter's, the OFDM inverse DFT's) and the planner is not
// re-entrant, so every plan is made and destroyed under this lock; running a
// made plan needs no lock.
#pragma once

#include <mutex>

namespace tarvio {

std::mutex& fftw_planner_mutex();

}  // namespace tarvio
