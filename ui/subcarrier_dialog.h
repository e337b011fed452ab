// The subcarrier mask dialog (figCarriers): the 53 OFDM subcarriers -26..26
// as a working row of states (position 27, the centre, never carries a
// signal), ten check boxes over a window of ten subcarriers chosen with a
// scroll bar, presets in a fast-edit list, and a plot of the nominal gains.
#pragma once

#include <functional>
#include <vector>

#include "ui/commands.h"
#include "ui/dialog.h"

namespace tarvio::ui {

class SubcarrierDialog : public Dialog {
 public:
  using Done = std::function<void(const std::string& answer, const std::vector<double>& states)>;
  static constexpr int kCount = 53;   // subcarriers -26 .. 26
  static constexpr int kCentre = 27;  // 1-based position of subcarrier 0
  static constexpr int kBoxes = 10;
  static constexpr double kScrollMax = 43;

  SubcarrierDialog();
  // Opens on a copy of `states` (53 values); `done` gets the answer and the
  // edited row.
  void open(const std::vector<double>& states, Done done);
  void InitializeFigure();
  std::vector<Value> command(const std::string& name, const Args& args);

  const std::vector<double>& states() const { return states_; }
  // The preset of a fast-edit entry 1..8.
  static std::vector<double> preset(int entry);
  // The 1-based position shown by the first check box.
  int first_position() const;

 private:
  void redraw_controls() override;
  void ok() override;
  void checkbox_Callback(int box);
  void replot();
  std::vector<double> states_;
  CommandSet commands_;
};

}  // namespace tarvio::ui
