// The calculation's progress and stop request, per thread.
#include "control/calculation_watch.h"

namespace tarvio {

namespace {
thread_local CalculationWatch* t_watch = nullptr;
}

CalculationWatch* watch_calculations(CalculationWatch* w) {
  CalculationWatch* previous = t_watch;
  t_watch = w;
  return previous;
}

CalculationWatch* current_watch() { return t_watch; }

void calculation_progress(double done, double total) {
  if (!t_watch) return;
  t_watch->packets.store(total);
  t_watch->packets_done.store(done);
  if (done < total && t_watch->cancel.load()) throw CalculationCancelled();
}

}  // namespace tarvio
