// A window command's local operations by name, as its dispatcher calls them:
// "redraw", "pdDataRate_Callback", "checkWaveformReady", ... Each takes the
// arguments after the name and returns its results.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/registry.h"

namespace tarvio::ui {

class Window;

class CommandSet {
 public:
  using Fn = std::function<std::vector<Value>(const Args&)>;
  void add(const std::string& name, Fn fn) { fns_[name] = std::move(fn); }
  // A command without arguments or results.
  void add(const std::string& name, std::function<void()> fn);
  bool has(const std::string& name) const { return fns_.count(name) != 0; }
  // Throws std::invalid_argument naming the command set and the name when
  // the command does not exist.
  std::vector<Value> run(const std::string& owner, const std::string& name, const Args& args) const;
  std::vector<std::string> names() const;

 private:
  std::map<std::string, Fn> fns_;
};

// A control callback called by name with a value, as a host without a
// window calls it: the value is what the user entered (text for an edit
// field, the entry number for a list, 0/1 for a check box or radio button),
// applied as that user action, which runs the callback. Without a value the
// callback runs on the control's current state.
void run_control_callback(Window& w, const std::string& tag, const Args& args);

// Adds "<tag>_Callback" to the set for every control and menu item of the
// window that has a callback, and "close_Callback" (the window's close
// control) when the set has none yet.
void add_callback_commands(CommandSet& set, Window& w);

}  // namespace tarvio::ui
