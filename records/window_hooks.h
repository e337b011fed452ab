// What the generation control asks of the main window, when there is one:
// redraws after a parameter-file load or a data-rate change, and the value of
// the 33 Mbit/s sample-rate list. A host without a window leaves the hooks
// empty and every call through them does nothing.
#pragma once

#include <functional>

namespace tarvio {

struct WindowHooks {
  std::function<void()> redraw;                    // the whole window from the records
  std::function<void()> redrawFormatParameters;    // the format-dependent controls
  std::function<double()> pbcc33SampleRateChoice;  // 1, 2 or 3; absent means 1
};

WindowHooks& window_hooks();

// Calls a hook when it is set.
inline void call_hook(const std::function<void()>& h) {
  if (h) h();
}

}  // namespace tarvio
