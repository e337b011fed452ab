// Runs long work (a calculation, a download, a display of a long waveform)
// on a worker thread while the window's thread goes on handling events, and
// waits for it there: the window keeps painting and its Cancel button stays
// live. The application model is not made for two threads, so everything
// the work sends towards the windows is carried over to the window's thread
// and run there while the worker waits: messages, questions and status
// texts (through a reporter put in front of the model's for the time of the
// work), and the window redraws the generation control asks for (the window
// hooks).
#pragma once

#include <functional>

namespace tarvio {
struct CalculationWatch;
}

namespace tarvio::desktop {

// Runs `work` on a new thread, with `watch` installed for the calculations
// it runs (may be null), and returns when the work has ended; its error is
// raised again here. Must be called on the window's thread.
void run_off_window_thread(const std::function<void()>& work, CalculationWatch* watch);

}  // namespace tarvio::desktop
