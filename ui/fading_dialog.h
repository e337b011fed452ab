// The multipath fading dialog: twelve paths, each with a check box that
// switches it on and entries for its delay (us, 0..10, "%.4f"), attenuation
// (dB, -60..0, "%.2f") and phase (degrees, -180..180, "%.2f"). An entry that
// is not a number becomes 0; one out of range is clamped to the nearer limit;
// either is written back in the display format.
#pragma once

#include <functional>

#include "records/records.h"
#include "ui/commands.h"
#include "ui/dialog.h"

namespace tarvio::ui {

class FadingDialog : public Dialog {
 public:
  using Done = std::function<void(const std::string& answer, const FadingPaths& fading)>;
  static constexpr int kPaths = 12;
  FadingDialog();
  void open(const FadingPaths& start, Done done);
  void InitializeFigure();
  std::vector<Value> command(const std::string& name, const Args& args);
  const FadingPaths& working() const { return working_; }

 private:
  void redraw_controls() override;
  void redraw_path(int k);
  FadingPaths working_;  // all paths off and zero until opened
  CommandSet commands_;
};

}  // namespace tarvio::ui
