// The one instance of the program-wide variables.
#include "records/state.h"

namespace tarvio {

State& state() {
  static State s;
  return s;
}

}  // namespace tarvio
