// The one set of main-window hooks.
#include "records/window_hooks.h"

namespace tarvio {

WindowHooks& window_hooks() {
  static WindowHooks h;
  return h;
}

}  // namespace tarvio
