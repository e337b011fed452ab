// Control table, control state, notifications and user actions of a window.
#include "ui/window.h"

#include <stdexcept>

#include "runtime/report.h"

namespace tarvio::ui {

const char* kind_name(ControlKind k) {
  switch (k) {
    case ControlKind::Edit:
      return "edit";
    case ControlKind::List:
      return "list";
    case ControlKind::Check:
      return "check";
    case ControlKind::Radio:
      return "radio";
    case ControlKind::Button:
      return "button";
    case ControlKind::Label:
      return "label";
    case ControlKind::Slider:
      return "slider";
    case ControlKind::Plot:
      return "plot";
  }
  return "?";
}

namespace {

// "a list", "an edit".
std::string with_article(const char* kind) {
  return std::string(std::string("aeiou").find(kind[0]) != std::string::npos ? "an " : "a ") + kind;
}

}  // namespace

const MenuItem* find_menu_item(const std::vector<MenuItem>& bar, const std::string& tag) {
  for (const MenuItem& m : bar) {
    if (m.tag == tag) return &m;
    if (const MenuItem* f = find_menu_item(m.items, tag)) return f;
  }
  return nullptr;
}

MenuItem* find_menu_item(std::vector<MenuItem>& bar, const std::string& tag) {
  return const_cast<MenuItem*>(find_menu_item(static_cast<const std::vector<MenuItem>&>(bar), tag));
}

Window::Window(std::string tag, std::string name, std::vector<ControlSpec> table)
    : tag_(std::move(tag)), name_(std::move(name)), table_(std::move(table)) {
  states_.reserve(table_.size());
  for (size_t i = 0; i < table_.size(); ++i) {
    const ControlSpec& s = table_[i];
    if (!index_.emplace(s.tag, i).second) throw std::logic_error("window " + tag_ + ": tag " + s.tag + " twice");
    ControlState st;
    st.text = s.caption;
    st.entries = s.entries;
    if (s.kind == ControlKind::List) st.value = 1;
    if (s.read_only) st.enabled = false;
    states_.push_back(std::move(st));
  }
}

void Window::set_name(const std::string& name) {
  if (name_ == name) return;
  name_ = name;
  notify("");
}

void Window::set_visible(bool v) {
  if (visible_ == v) return;
  visible_ = v;
  notify("");
}

void Window::set_pointer(const std::string& p) {
  if (pointer_ == p) return;
  pointer_ = p;
  notify("");
}

const ControlSpec& Window::spec(const std::string& tag) const {
  auto it = index_.find(tag);
  if (it == index_.end()) throw std::out_of_range("window " + tag_ + " has no control " + tag);
  return table_[it->second];
}

const ControlState& Window::at(const std::string& tag) const {
  auto it = index_.find(tag);
  if (it == index_.end()) throw std::out_of_range("window " + tag_ + " has no control " + tag);
  return states_[it->second];
}

ControlState& Window::mut(const std::string& tag) { return const_cast<ControlState&>(at(tag)); }

void Window::notify(const std::string& tag) {
  // A listener may unsubscribe itself while being called: walk a copy.
  const auto copy = listeners_;
  for (const auto& [id, l] : copy) l(tag);
}

template <class T>
static bool assign(T& field, T v) {
  if (field == v) return false;
  field = std::move(v);
  return true;
}

void Window::set_text(const std::string& tag, const std::string& text) {
  if (assign(mut(tag).text, text)) notify(tag);
}
void Window::set_value(const std::string& tag, double value) {
  if (assign(mut(tag).value, value)) notify(tag);
}
void Window::set_entries(const std::string& tag, std::vector<std::string> entries) {
  if (assign(mut(tag).entries, std::move(entries))) notify(tag);
}
void Window::set_enabled(const std::string& tag, bool enabled) {
  if (assign(mut(tag).enabled, enabled)) notify(tag);
}
void Window::set_visible(const std::string& tag, bool visible) {
  if (assign(mut(tag).visible, visible)) notify(tag);
}
void Window::set_tooltip(const std::string& tag, const std::string& tooltip) {
  if (assign(mut(tag).tooltip, tooltip)) notify(tag);
}
void Window::set_range(const std::string& tag, double min, double max) {
  ControlState& s = mut(tag);
  if (s.min == min && s.max == max) return;
  s.min = min;
  s.max = max;
  notify(tag);
}
void Window::set_plot(const std::string& tag, PlotState plot) {
  mut(tag).plot = std::move(plot);
  notify(tag);
}

void Window::set_menu(std::vector<MenuItem> menu) {
  menu_ = std::move(menu);
  notify("");
}

const MenuItem* Window::find_menu(const std::string& tag) const { return find_menu_item(menu_, tag); }

MenuItem* Window::find_menu_mut(const std::string& tag) {
  MenuItem* m = find_menu_item(menu_, tag);
  if (!m) throw std::out_of_range("window " + tag_ + " has no menu item " + tag);
  return m;
}

void Window::set_menu_checked(const std::string& tag, bool checked) {
  if (assign(find_menu_mut(tag)->checked, checked)) notify(tag);
}

void Window::set_menu_visible(const std::string& tag, bool visible) {
  if (assign(find_menu_mut(tag)->visible, visible)) notify(tag);
}

int Window::subscribe(Listener l) {
  listeners_.emplace(next_listener_, std::move(l));
  return next_listener_++;
}

void Window::unsubscribe(int id) { listeners_.erase(id); }

const ControlState& Window::usable(const std::string& tag, ControlKind kind, const char* action) const {
  const ControlSpec& sp = spec(tag);
  const ControlState& st = at(tag);
  if (sp.kind != kind)
    throw std::invalid_argument(std::string("cannot ") + action + " " + tag_ + "." + tag + ": it is " +
                                with_article(kind_name(sp.kind)) + ", not " + with_article(kind_name(kind)));
  if (!st.visible) throw std::invalid_argument(tag_ + "." + tag + " is hidden");
  if (!st.enabled) throw std::invalid_argument(tag_ + "." + tag + " is disabled");
  return st;
}

void Window::enter(const std::string& tag, const std::string& text) {
  usable(tag, ControlKind::Edit, "type into");
  set_text(tag, text);
  run_callback(tag);
}

void Window::choose(const std::string& tag, int position) {
  const ControlState& st = usable(tag, ControlKind::List, "choose in");
  if (position < 1 || position > static_cast<int>(st.entries.size()))
    throw std::out_of_range(tag_ + "." + tag + " has " + std::to_string(st.entries.size()) + " entries; " +
                            std::to_string(position) + " is not one of them");
  set_value(tag, position);
  run_callback(tag);
}

void Window::check(const std::string& tag, double value) {
  const ControlKind k = spec(tag).kind;
  usable(tag, k == ControlKind::Radio ? ControlKind::Radio : ControlKind::Check, "check");
  if (value != 0 && value != 1) throw std::invalid_argument(tag_ + "." + tag + " takes 0 or 1");
  set_value(tag, value);
  run_callback(tag);
}

void Window::click(const std::string& tag) {
  usable(tag, ControlKind::Button, "click");
  run_callback(tag);
}

void Window::slide(const std::string& tag, double value) {
  const ControlState& st = usable(tag, ControlKind::Slider, "move");
  if (!(value >= st.min && value <= st.max))
    throw std::out_of_range(tag_ + "." + tag + " runs from " + std::to_string(st.min) + " to " +
                            std::to_string(st.max));
  set_value(tag, value);
  run_callback(tag);
}

namespace {

// The items from the bar down to the one tagged `tag`; false when absent.
bool menu_path(const std::vector<MenuItem>& items, const std::string& tag, std::vector<const MenuItem*>& path) {
  for (const MenuItem& m : items) {
    path.push_back(&m);
    if (m.tag == tag || menu_path(m.items, tag, path)) return true;
    path.pop_back();
  }
  return false;
}

// A label as the menu shows it: without the accelerator marks.
std::string shown_label(const std::string& label) {
  std::string s;
  for (char c : label)
    if (c != '&') s += c;
  return s;
}

}  // namespace

void Window::select_menu(const std::string& tag) {
  std::vector<const MenuItem*> path;
  if (!menu_path(menu_, tag, path)) throw std::out_of_range("window " + tag_ + " has no menu item " + tag);
  const MenuItem* m = path.back();
  const std::string named = "menu item " + tag + " (\"" + shown_label(m->label) + "\")";
  if (!m->items.empty()) throw std::invalid_argument(named + " is a menu, not a command");
  if (!m->has_command) throw std::invalid_argument(named + " is not built: it has no action");
  for (const MenuItem* p : path)
    if (!p->visible)
      throw std::invalid_argument(named + " is hidden" + (p == m ? "" : " (in the hidden menu " + p->tag + ")"));
  if (!m->enabled) throw std::invalid_argument(named + " is disabled");
  run_callback(tag);
}

void Window::request_close() {
  if (close_)
    close_();
  else
    set_visible(false);
}

void Window::run_callback(const std::string& tag) {
  auto it = callbacks_.find(tag);
  if (it == callbacks_.end()) throw std::invalid_argument(tag_ + "." + tag + " has no callback");
  // Copy: a callback may replace callbacks (never its own while running).
  Callback cb = it->second;
  run_guarded(cb);
}

void run_guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    reporter().show({MessageKind::Error, "Error", e.what(), true});
  }
}

}  // namespace tarvio::ui
