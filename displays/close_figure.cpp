// Closing a display window by its handle, as the shut-down closes the
// displays the application opened.
#include "displays/display_host.h"
#include "runtime/registry.h"

namespace tarvio {

TARVIO_OP(
    "Close", 1, 0,
    [](const Args& in, int) -> std::vector<Value> {
      const double handle = arg_required(in, 0, "Close").to_double();
      // Without display windows (no desktop) there is nothing open to close.
      if (DisplayHost* h = display_host(); h && h->exists(handle)) h->close(handle);
      return {};
    },
    "Close(handle): closes a display window when it is still open");

}  // namespace tarvio
