// The modal protocol shared by every dialog.
#include "ui/dialog.h"

#include <stdexcept>

namespace tarvio::ui {

Dialog::Dialog(std::string tag, std::string name, std::vector<ControlSpec> table)
    : Window(std::move(tag), std::move(name), std::move(table)) {
  on("pbOK", [this] { ok(); });
  on("pbCancel", [this] { finish("Cancel"); });
  on_close([this] { finish("Cancel"); });
}

void Dialog::begin(Done done) {
  if (open_) throw std::logic_error("the dialog " + name() + " is open already");
  open_ = true;
  done_ = std::move(done);
  redraw_controls();
  set_visible(true);
}

void Dialog::finish(const std::string& answer) {
  if (!open_) return;  // a second close of the same dialog changes nothing
  open_ = false;
  answer_ = answer;
  set_visible(false);
  Done d = std::move(done_);
  done_ = nullptr;
  if (d) d(answer_);
}

std::string run_modal(Dialog& d, DialogWaiter* waiter) {
  try {
    if (waiter && d.is_open()) waiter->wait(d);
  } catch (...) {
    d.finish("Cancel");  // a wait that failed leaves no dialog open behind it
    throw;
  }
  if (d.is_open()) d.finish("Cancel");
  return d.answer();
}

}  // namespace tarvio::ui
