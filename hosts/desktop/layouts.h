// Where the controls of each model window go on screen: columns of groups,
// each group a grid of rows (label, control, unit or button), and a row at
// the foot (buttons, read-outs). Geometry only: which controls exist, their texts and
// whether they are shown come from the model.
#pragma once

#include <QGroupBox>
#include <QWidget>
#include <string>
#include <vector>

namespace tarvio::desktop {

class WindowBinding;

// A row's cells, left to right: a tag, "" for an empty cell, or "a|b" for
// two controls sharing a cell (the model shows one of them at a time). The
// last control of a row spans the columns left (a single one the whole
// width).
struct LayoutRow {
  std::vector<std::string> cells;
};

struct LayoutGroup {
  LayoutGroup(std::string t, std::vector<LayoutRow> r, std::string s = "")
      : title(std::move(t)), rows(std::move(r)), side(std::move(s)) {}
  std::string title;  // empty: no frame
  std::vector<LayoutRow> rows;
  std::string side;  // a control beside all rows (a scroll bar)
};

struct WindowLayout {
  std::vector<std::vector<LayoutGroup>> columns;
  std::vector<std::string> footer;  // one row at the foot; "" stretches
  std::vector<std::string> left;    // controls left out (placed by the view itself)
};

// The layout of a model window by its tag; throws std::out_of_range for a
// window without one.
const WindowLayout& layout_of(const std::string& window_tag);

// Lays the widgets of `binding` out on `area`, in Tab order as they are
// read. A group whose controls the model has all hidden is hidden with
// them. Throws std::logic_error when a control of the window has no place.
void arrange(const WindowLayout& layout, WindowBinding& binding, QWidget* area);

}  // namespace tarvio::desktop
