// The about box's texts.
#include "ui/about.h"

#include "records/state.h"

namespace tarvio::ui {

std::vector<std::string> about_lines(const AppInfo& a) {
  std::vector<std::string> v = {a.Name, "Revision " + a.Rev, "Built " + a.Date};
  for (const std::string* n : {&a.Notes, &a.NotesLine2, &a.NotesLine3, &a.NotesLine4, &a.NotesLine5, &a.NotesLine6,
                               &a.NotesLine7, &a.AboutMessage})
    if (!n->empty()) v.push_back(*n);
  return v;
}

std::vector<std::string> splash_lines(const AppInfo& a) { return {a.Name, "Revision " + a.Rev}; }

namespace {
std::vector<ControlSpec> make_table() {
  std::vector<ControlSpec> t;
  t.push_back({"txtLogo", ControlKind::Label, "", "logo", {}});
  for (int k = 1; k <= AboutWindow::kLines; ++k)
    t.push_back({"lblLine" + std::to_string(k), ControlKind::Label, "", "text", {}});
  t.push_back({"pbOK", ControlKind::Button, "OK", "buttons", {}});
  return t;
}
}  // namespace

AboutWindow::AboutWindow() : Window("figAbout", "About", make_table()) {
  on("pbOK", [this] { set_visible(false); });
  set_parent("figMain");
}

void AboutWindow::show_about() {
  const AppInfo& a = state().appInfo;
  set_name("About " + a.Name);
  set_text("txtLogo", a.Name);
  const std::vector<std::string> lines = about_lines(a);
  for (int k = 1; k <= kLines; ++k) {
    const std::string tag = "lblLine" + std::to_string(k);
    const bool used = k <= static_cast<int>(lines.size());
    set_text(tag, used ? lines[k - 1] : "");
    set_visible(tag, used);
  }
  set_visible(true);
}

}  // namespace tarvio::ui
