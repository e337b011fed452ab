// The about box and the splash screen's contents: the application's name,
// revision, build date and notes lines from appInfo. The desktop adds its
// own artwork; the texts come from here.
#pragma once

#include <string>
#include <vector>

#include "records/records.h"
#include "ui/window.h"

namespace tarvio::ui {

// Name, "Revision " + Rev, "Built " + Date, then the notes lines that are
// not empty, then the about message.
std::vector<std::string> about_lines(const AppInfo& app);
// Name and revision, for the splash screen.
std::vector<std::string> splash_lines(const AppInfo& app);

// The about box (figAbout): a label per line and an OK button that hides it.
class AboutWindow : public Window {
 public:
  static constexpr int kLines = 11;
  AboutWindow();
  // Draws the lines of appInfo and shows the box over the main window.
  void show_about();
};

}  // namespace tarvio::ui
