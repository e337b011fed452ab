// The one lock around FFTW's planner. Making and destroying plans is not
// thread-safe in FFTW, and every part of the program that plans (the
// generators, the receivers, the displays) may run on its own thread, so
// all of them take this same lock; running a plan needs no lock.
#pragma once

#include <mutex>

namespace tarvio {

std::mutex& fftw_planner_mutex();

}  // namespace tarvio
