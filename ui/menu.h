// The menu bar as data: labels with their accelerator marks ("&File"), tags,
// separators, hidden items, check marks and the command each item runs. The
// main window's bar is built by KV_AddMenu (ui/menu_bar.h); a view draws it
// and sends the chosen item's tag back.
#pragma once

#include <string>
#include <vector>

namespace tarvio::ui {

struct MenuItem {
  std::string label;            // with "&" before the accelerator letter
  std::string tag;              // e.g. "menuFileNew"
  bool separator = false;       // a separator line comes before the item
  bool visible = true;          // hidden items exist but are not shown
  bool checked = false;         // check mark
  bool toggle = false;          // an on/off setting: drawn with a check mark place even while off
  bool enabled = true;          //
  bool has_command = false;     // choosing the item runs the frame command tag + "_Callback"
  std::vector<MenuItem> items;  // a menu or submenu
};

// Finds an item by tag anywhere in the tree; null when absent.
const MenuItem* find_menu_item(const std::vector<MenuItem>& bar, const std::string& tag);
MenuItem* find_menu_item(std::vector<MenuItem>& bar, const std::string& tag);

}  // namespace tarvio::ui
