// A dialog of the application model and its modal protocol: open() takes a
// working copy and shows the dialog; edits go to the copy; OK, Cancel or the
// window's close control finish it with the answer "OK" or "Cancel", hide it
// (dialogs are built once and never rebuilt) and hand the answer to the
// opener. The wait in between belongs to the host: a view shows the dialog
// while it is visible, a scripted host answers it, and run_modal() waits
// through the host's DialogWaiter for callers that need the answer at once.
#pragma once

#include <functional>
#include <string>

#include "ui/host.h"
#include "ui/window.h"

namespace tarvio::ui {

class Dialog : public Window {
 public:
  using Done = std::function<void(const std::string& answer)>;

  Dialog(std::string tag, std::string name, std::vector<ControlSpec> table);

  bool is_open() const { return open_; }
  // The answer of the last time the dialog was finished.
  const std::string& answer() const { return answer_; }
  // Ends the protocol: stores the answer, hides the dialog, then calls the
  // opener's continuation.
  void finish(const std::string& answer);

 protected:
  // Shows the dialog on a working copy the subclass has just taken; throws
  // std::logic_error when it is open already.
  void begin(Done done);
  // Draws every control from the working copy.
  virtual void redraw_controls() = 0;
  // The OK button: finish("OK") unless the dialog refuses its working copy.
  virtual void ok() { finish("OK"); }

 private:
  bool open_ = false;
  std::string answer_ = "Cancel";
  Done done_;
};

// Waits for an opened dialog through the host's waiter; a dialog still open
// afterwards (no waiter, or the host gave up) is finished with "Cancel".
// Returns the answer.
std::string run_modal(Dialog& d, DialogWaiter* waiter);

}  // namespace tarvio::ui
