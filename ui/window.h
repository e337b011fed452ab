// A window of the application model without any window toolkit: its control
// table (what a view draws), the state of every control (what a view shows),
// a change notification a view subscribes to, the callbacks run when the user
// acts on a control, and an optional menu bar. The rules behind the callbacks
// live in the windows built on this (main window, dialogs); a view only
// copies state into widgets and forwards what the user does.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/menu.h"

namespace tarvio::ui {

enum class ControlKind { Edit, List, Check, Radio, Button, Label, Slider, Plot };

// "edit", "list", "check", "radio", "button", "label", "slider", "plot".
const char* kind_name(ControlKind k);

// One row of a window's control table: the control's tag, kind, caption (the
// text of a button, check box, radio button or label; the starting text of
// an edit field), the group it is drawn in, and the list entries the window
// description supplies (lists whose entries the program sets start empty).
struct ControlSpec {
  std::string tag;
  ControlKind kind;
  std::string caption;
  std::string group;
  std::vector<std::string> entries;
  bool read_only = false;  // an edit field that only shows a value
};

// What a plot control shows: one trace, its axis limits and texts.
struct PlotState {
  std::vector<double> x, y;
  double xmin = 0, xmax = 1, ymin = 0, ymax = 1;
  std::string xlabel, ylabel, title;
};

// The state of one control as a view shows it.
struct ControlState {
  std::string text;                  // edit text or caption
  double value = 0;                  // list: 1-based entry; check, radio: 0/1; slider: position
  std::vector<std::string> entries;  // list entries
  bool enabled = true;
  bool visible = true;
  std::string tooltip;
  double min = 0, max = 1;  // slider range
  PlotState plot;           // plot controls only
};

class Window {
 public:
  // Called after a change: the control's tag, a menu item's tag, or an empty
  // tag for the window itself (name, visibility, pointer).
  using Listener = std::function<void(const std::string& tag)>;
  using Callback = std::function<void()>;

  Window(std::string tag, std::string name, std::vector<ControlSpec> table);
  virtual ~Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  const std::string& tag() const { return tag_; }
  const std::string& name() const { return name_; }  // the window's title
  void set_name(const std::string& name);
  bool visible() const { return visible_; }
  void set_visible(bool v);
  // "arrow", or "watch" while the window is busy.
  const std::string& pointer() const { return pointer_; }
  void set_pointer(const std::string& p);
  // The window this one is placed over (empty for a top-level window).
  const std::string& parent() const { return parent_; }
  void set_parent(const std::string& tag) { parent_ = tag; }

  const std::vector<ControlSpec>& table() const { return table_; }
  bool has(const std::string& tag) const { return index_.count(tag) != 0; }
  const ControlSpec& spec(const std::string& tag) const;
  // Throws std::out_of_range naming the window and the tag when absent.
  const ControlState& at(const std::string& tag) const;

  // State changes made by the program (no callback runs); each notifies the
  // listeners when something changed.
  void set_text(const std::string& tag, const std::string& text);
  void set_value(const std::string& tag, double value);
  void set_entries(const std::string& tag, std::vector<std::string> entries);
  void set_enabled(const std::string& tag, bool enabled);
  void set_visible(const std::string& tag, bool visible);
  void set_tooltip(const std::string& tag, const std::string& tooltip);
  void set_range(const std::string& tag, double min, double max);
  void set_plot(const std::string& tag, PlotState plot);

  // The menu bar (empty for dialogs).
  const std::vector<MenuItem>& menu() const { return menu_; }
  void set_menu(std::vector<MenuItem> menu);
  const MenuItem* find_menu(const std::string& tag) const;
  void set_menu_checked(const std::string& tag, bool checked);
  void set_menu_visible(const std::string& tag, bool visible);

  int subscribe(Listener l);
  void unsubscribe(int id);

  // What the user does, as a view forwards it: the control's state is set
  // as the user left it, then its callback runs. Acting on a control that
  // is hidden or disabled, or on one of another kind, throws
  // std::invalid_argument; a list position outside the list throws
  // std::out_of_range.
  void enter(const std::string& tag, const std::string& text);  // edit field
  void choose(const std::string& tag, int position);            // list, 1-based
  void check(const std::string& tag, double value);             // check box, radio button (0/1)
  void click(const std::string& tag);                           // button
  void slide(const std::string& tag, double value);             // slider
  // A menu item chosen, as the user can choose it: an item without an
  // action (not built), a hidden one (or one in a hidden menu) and a
  // disabled one throw std::invalid_argument saying which. The frame's
  // commands behind hidden items stay reachable by name (Frame::command).
  void select_menu(const std::string& tag);
  // The window's close control.
  void request_close();

  // Callbacks by control tag (also menu tags), and the close callback.
  void on(const std::string& tag, Callback cb) { callbacks_[tag] = std::move(cb); }
  void on_close(Callback cb) { close_ = std::move(cb); }
  bool has_callback(const std::string& tag) const { return callbacks_.count(tag) != 0; }
  // Runs the callback of a tag (guarded, see run_guarded); throws
  // std::invalid_argument when the tag has none.
  void run_callback(const std::string& tag);

 protected:
  ControlState& mut(const std::string& tag);
  void notify(const std::string& tag);

 private:
  const ControlState& usable(const std::string& tag, ControlKind kind, const char* action) const;
  MenuItem* find_menu_mut(const std::string& tag);

  std::string tag_, name_;
  bool visible_ = false;
  std::string pointer_ = "arrow";
  std::string parent_;
  std::vector<ControlSpec> table_;
  std::vector<ControlState> states_;
  std::map<std::string, size_t> index_;
  std::vector<MenuItem> menu_;
  std::map<std::string, Callback> callbacks_;
  Callback close_;
  std::map<int, Listener> listeners_;
  int next_listener_ = 1;
};

// Runs a window command: an error raised inside is caught and shown through
// the reporter (kind Error, title "Error", the error's text), and the caller
// goes on, so one failing command never takes the window down.
void run_guarded(const std::function<void()>& command);

}  // namespace tarvio::ui
