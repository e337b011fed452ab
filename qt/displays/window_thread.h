// Widgets belong to the thread of the application object (the window's
// thread). Work running elsewhere reaches them through this.
#pragma once

#include <functional>

namespace tarvio::qt {

bool on_gui_thread();

// Runs `f` on the window's thread: at once when called there, otherwise
// posted to it and waited for (the window's thread must be running its
// event loop). An error raised by `f` is raised again in the caller.
void on_window_thread(const std::function<void()>& f);

}  // namespace tarvio::qt
