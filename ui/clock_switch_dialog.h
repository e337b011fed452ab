// The clock-switching dialog of the 33 Mbit/s ERP-PBCC burst: the tail, head
// and reSync fields of the packed clock-switch number as hexadecimal
// entries (txtTail, txtHead, txtReSync), each clamped to its width and shown
// again with one, one and three digits.
#pragma once

#include <functional>

#include "dsss/clk_struct.h"
#include "ui/commands.h"
#include "ui/dialog.h"

namespace tarvio::ui {

class ClockSwitchDialog : public Dialog {
 public:
  using Done = std::function<void(const std::string& answer, double clkStruct)>;
  ClockSwitchDialog();
  void open(double clkStruct, Done done);
  void InitializeFigure();
  std::vector<Value> command(const std::string& name, const Args& args);
  // The packed number of the entries as they stand.
  double packed() const;

 private:
  void redraw_controls() override;
  void entry(const std::string& tag, double limit, int digits);
  ClkEntries entries_{clkStruct2fields(kDefaultClkStruct)};  // the accepted entry texts
  CommandSet commands_;
};

}  // namespace tarvio::ui
