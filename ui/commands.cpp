// Command tables of the window commands.
#include "ui/commands.h"

#include <stdexcept>

#include "runtime/number_text.h"
#include "ui/window.h"

namespace tarvio::ui {

void CommandSet::add(const std::string& name, std::function<void()> fn) {
  fns_[name] = [fn = std::move(fn)](const Args&) {
    fn();
    return std::vector<Value>{};
  };
}

std::vector<Value> CommandSet::run(const std::string& owner, const std::string& name, const Args& args) const {
  auto it = fns_.find(name);
  if (it == fns_.end()) throw std::invalid_argument(owner + ": there is no command '" + name + "'");
  return it->second(args);
}

std::vector<std::string> CommandSet::names() const {
  std::vector<std::string> n;
  for (const auto& [k, v] : fns_) n.push_back(k);
  return n;
}

void run_control_callback(Window& w, const std::string& tag, const Args& args) {
  if (args.empty() || (args[0].is_numeric() && args[0].is_empty()) || !w.has(tag)) {
    w.run_callback(tag);
    return;
  }
  const Value& v = args[0];
  switch (w.spec(tag).kind) {
    case ControlKind::Edit:
      w.enter(tag, v.is_text() ? v.str() : Num2Str(v.to_double()));
      return;
    case ControlKind::List:
      w.choose(tag, static_cast<int>(v.to_double()));
      return;
    case ControlKind::Check:
    case ControlKind::Radio:
      w.check(tag, v.to_double());
      return;
    case ControlKind::Slider:
      w.slide(tag, v.to_double());
      return;
    default:
      w.run_callback(tag);
  }
}

namespace {
void add_menu_commands(CommandSet& set, Window& w, const std::vector<MenuItem>& items) {
  for (const MenuItem& m : items) {
    if (w.has_callback(m.tag)) set.add(m.tag + "_Callback", [&w, tag = m.tag] { w.run_callback(tag); });
    add_menu_commands(set, w, m.items);
  }
}
}  // namespace

void add_callback_commands(CommandSet& set, Window& w) {
  for (const ControlSpec& s : w.table())
    if (w.has_callback(s.tag))
      set.add(s.tag + "_Callback", [&w, tag = s.tag](const Args& a) {
        run_control_callback(w, tag, a);
        return std::vector<Value>{};
      });
  add_menu_commands(set, w, w.menu());
  // The window's close control, unless the window has a close command of
  // its own.
  if (!set.has("close_Callback")) set.add("close_Callback", [&w] { w.request_close(); });
}

}  // namespace tarvio::ui
